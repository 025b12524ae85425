// What a GIF becomes in a document, and what crafted GIFs cost when read
// through the entry point `zntool convert` and `zntool info` share.
#include "core/PictureImport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "builders/Bounded.h"
#include "builders/HostileGifs.h"
#include "builders/IconBuilder.h"
#include "core/Conversion.h"
#include "formats/FileBytes.h"
#include "formats/GifImage.h"
#include "formats/ReadBudget.h"

namespace {

namespace fs = std::filesystem;

TEST(PictureImport, RatesComeFromDelaysRounded) {
    const std::vector<std::pair<int, int32_t>> cases{{0, 6}, {1, 6}, {2, 1}, {3, 2}, {10, 6}, {17, 10}, {65535, 39321}};
    for (const auto& [delay, rate] : cases) EXPECT_EQ(RateFromGifDelay(delay), rate) << "delay " << delay;
}

TEST(PictureImport, AFrameBecomesAnIconAsAPastedPictureDoes) {
    const IconImage image = test::MakeImage(40, 24, [](int x, int y) {
        return Rgba{uint8_t(x * 6), uint8_t(y * 10), uint8_t(x * y), uint8_t((x * 13 + y * 7) % 256)};
    });
    Picture pasted(image.width, image.height), working(16, 16);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) pasted.set(x, y, PictureColour(image.at(x, y)));
    ASSERT_TRUE(PasteFrame(pasted, working));
    EXPECT_EQ(IconFromImage(image)->image(), MakeFrameIcon(working)->image());
}

// ---- Hostile GIFs --------------------------------------------------------------
// Each read in a child under a memory cap, as zntool reads it, within the
// aims of 256 MiB and 2 s of CPU; and large ones giflib's encoder writes.

struct HostileGif {
    const char* name;
    std::vector<uint8_t> (*make)();  // none: a file of 250 MiB
    const char* outcome;  // the frame count, or the reason it fails
};

void PrintTo(const HostileGif& c, std::ostream* out) { *out << c.name; }

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class HostileGifs : public ::testing::TestWithParam<HostileGif> {
protected:
    void SetUp() override { fs::create_directories(m_dir); }
    void TearDown() override { fs::remove_all(m_dir); }
    const fs::path m_dir = fs::temp_directory_path() / ("hostile_gifs_" + std::to_string(::getpid()));
};

TEST_P(HostileGifs, OpenOrFailWithinTheAims) {
    const std::string path = (m_dir / (std::string(GetParam().name) + ".gif")).string();
    if (GetParam().make) WriteBytes(path, GetParam().make());
    else test::WriteHugeGif(path, off_t(250) << 20);
    const test::Bounded run = test::RunBounded([&] {
        try {
            ReadBudget budget;
            const TDocument document = LoadInput(path, 6, budget);
            const std::string comments = std::to_string(document.comments.size()) + " bytes of comments";
            return std::to_string(document.Count()) + " frames" + (document.comments.empty() ? "" : ", " + comments);
        } catch (const EZintraError& error) {
            return "error: " + error.reason();
        }
    });
    // An outcome ending in "(" names the failure up to the step it happened in.
    const std::string outcome = GetParam().outcome;
    if (outcome.ends_with("(")) EXPECT_TRUE(run.report.starts_with(outcome)) << run.report;
    else EXPECT_EQ(run.report, outcome);
    if (!test::kSanitized) {
        EXPECT_LE(run.peakMiB, 256) << run.report;
        EXPECT_LE(run.cpuSeconds, 2.0) << run.report;
    }
}

// Just within the 64 MiB a picture may have.
constexpr size_t kFull = kMaxInputFileBytes - 256;
constexpr const char* kOverBudget = "error: the file asks for more work than any animation needs (";

INSTANTIATE_TEST_SUITE_P(
    Crafted, HostileGifs,
    ::testing::Values(
        HostileGif{"ClearCodes", [] { return test::ClearCodeGif(kFull); }, kOverBudget},
        HostileGif{"EmptyExtensionRecords", [] { return test::EmptyExtensionsGif(kFull); }, "1 frames"},
        HostileGif{"CommentOfOneByteSubBlocks", [] { return test::OneByteCommentGif(kFull); },
                   "1 frames, 255 bytes of comments"},
        HostileGif{"DataInOneByteSubBlocks", [] { return test::OneByteDataBlocksGif(kFull); }, "1 frames"},
        HostileGif{"TallFrames", [] { return test::TallFramesGif(kMaxGifFrames - 1, 65535); }, kOverBudget},
        HostileGif{"TallInterlacedFrames", [] { return test::TallFramesGif(kMaxGifFrames - 1, 65535, true); }, kOverBudget},
        HostileGif{"ExtensionRecordsThenTallFrames", [] { return test::TallFramesGif(1000, 65535, false, kFull - 400'000); },
                 kOverBudget},
        HostileGif{"TinyFramesOnTheLargestScreen", [] { return test::TinyFramesGif(kMaxGifFrames); }, "32767 frames"},
        HostileGif{"RestoringFramesToTheFrameCap", [] { return test::RestoringGif(kMaxGifFrames, 90); }, "32767 frames"},
        HostileGif{"QuarterGibibyteFile", nullptr, "error: larger than 64 MiB; zntool reads pictures up to that size"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Written, HostileGifs,
    ::testing::Values(
        HostileGif{"SmallFramesOnAWideScreen", [] { return test::WrittenGif(1920, 1080, 200, 64, 64, true); }, "200 frames"},
        HostileGif{"FullFramesOnAWideScreen", [] { return test::WrittenGif(1920, 1080, 40, 1920, 1080, false); },
                   "40 frames"},
        HostileGif{"SmallFramesToTheFrameCap", [] { return test::WrittenGif(64, 64, kMaxGifFrames, 16, 16, true); },
                 "32767 frames"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
