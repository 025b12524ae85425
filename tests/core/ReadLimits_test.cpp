// What a read may cost, whatever the file: the crafted files of
// tests/builders/HostileFiles.h that make zlib work for nothing, text
// fields of 60 MiB and a pipe, and the largest files real writers make,
// each opened from disk as Open and `zntool convert` do, listed as `zntool
// info` does and read for a thumbnail, in a child checked against 256 MiB
// and 2 s of CPU.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "builders/Bounded.h"
#include "builders/HostileFiles.h"
#include "core/AnimationLoader.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

namespace {

using namespace test;
namespace fs = std::filesystem;

class ReadLimits : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("read_limits_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Write(const std::string& name, const Bytes& bytes) {
        const auto path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    fs::path m_dir;
};

// The frames and the longest text field, all a save would write of them.
std::string OpenSummary(const std::string& path) {
    const TDocument d = LoadAnimation(path);
    size_t longest = 0;
    for (const std::string* text : {&d.title, &d.authorName, &d.copyright, &d.email, &d.homepage, &d.comments})
        longest = std::max(longest, text->size());
    return std::to_string(d.Count()) + " frames, text " + std::to_string(longest);
}

std::string InfoSummary(const std::string& path) {
    ReadBudget budget;
    if (KindOfPath(path) == AnimationKind::AnimatedCursor) {
        TAnimatedCursorImage cursor;
        cursor.ReadCursorFile(path, budget);
        return std::to_string(cursor.FrameCount()) + " frames";
    }
    TZNFile file;
    file.Read(path, budget);
    return std::to_string(file.FrameCount()) + " frames, comments " + std::to_string(file.Comments().size());
}

std::string ThumbnailSummary(const std::string& path) {
    ReadBudget budget;
    return std::to_string(LoadFirstFrame(KindOfPath(path), path, budget).Count()) + " frames";
}

struct Case {
    const char* name;
    const char* file;
    Bytes (*build)();
    const char* opened;  // each summary, or the error
    const char* listed;
    const char* shown;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CostlyFile : public ReadLimits, public ::testing::WithParamInterface<Case> {};

TEST_P(CostlyFile, ReadsOrFailsWithin256MiBAnd2Seconds) {
    const std::string path = Write(GetParam().file, GetParam().build());
    using Work = std::string (*)(const std::string&);
    for (auto [work, expected] : {std::pair<Work, const char*>{OpenSummary, GetParam().opened},
                                  {InfoSummary, GetParam().listed},
                                  {ThumbnailSummary, GetParam().shown}}) {
        const Bounded run = RunBounded([&, work = work] { return work(path); });
        EXPECT_EQ(run.report, expected);
        if (!kSanitized) {
            EXPECT_LE(run.peakMiB, 256) << run.report;
            EXPECT_LE(run.cpuSeconds, 2.0) << run.report;
        }
    }
}

constexpr const char* kRefused = "error: Stream read error";

INSTANTIATE_TEST_SUITE_P(
    Hostile, CostlyFile,
    ::testing::Values(
        Case{"EmptyBlocksInAPngEntry", "blocks.zn", [] { return EmptyBlocksInAnEntryZN(uint64_t(60) << 20); }, kRefused,
             "1 frames, comments 2", kRefused},
        Case{"EmptyBlocksBeforeThePayload", "blocks64.zn", [] { return EmptyBlocksBeforeThePayloadZN(uint64_t(60) << 20); },
             kRefused, kRefused, kRefused},
        Case{"CommentsOfCarriageReturns", "cr.zn", [] { return LongTextZN(false, std::string(size_t(60) << 20, '\r')); },
             "1 frames, text 275", "1 frames, comments 275", "1 frames"},
        Case{"ATitleOf60MiB", "title.zn", [] { return LongTextZN(true, std::string(size_t(60) << 20, 'T')); },
             "1 frames, text 275", "1 frames, comments 2", "1 frames"},
        Case{"CommentsOfRandomLetters", "letters.zn", [] { return LongTextZN(false, RandomLetters(size_t(60) << 20), 1); },
             "1 frames, text 275", "1 frames, comments 275", "1 frames"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    RealWriters, CostlyFile,
    ::testing::Values(
        Case{"EightThousandSmallPngFrames", "png8000.zn", [] { return SmallLibpngFramesZN(8000); },
             "8000 frames, text 6", "8000 frames, comments 2", "1 frames"},
        Case{"TwelveThousandSmallPngFrames", "png12000.zn", [] { return SmallLibpngFramesZN(12000); },
             "12000 frames, text 6", "12000 frames, comments 2", "1 frames"},
        Case{"TwentyFourThousandSmallPngFrames", "png24000.zn", [] { return SmallLibpngFramesZN(24000); },
             "24000 frames, text 6", "24000 frames, comments 2", "1 frames"},
        Case{"A64MiBPayloadOfLargePngFrames", "png256.zn", LargeLibpngFramesZN,
             "250 frames, text 6", "250 frames, comments 2", "1 frames"},
        Case{"OurOwn32767Frames", "own.zn", [] { return OwnWriterZN(kMaxFrames); },
             "32767 frames, text 6", "32767 frames, comments 2", "1 frames"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the reader does of Open on a cursor of 2000 frames of 256×256:
// every frame sampled on the read's one budget. (Open also imports each
// frame, which the importer charges.)
TEST_F(ReadLimits, ACursorOf2000LargePngFramesIsSampledWithin256MiBAnd2Seconds) {
    const std::string path = Write("png256.ani", LargeLibpngCursor());
    const Bounded run = RunBounded([&] {
        ReadBudget budget;
        TAnimatedCursorImage cursor;
        cursor.ReadCursorFile(path, budget);
        for (int32_t i = 0; i < cursor.FrameCount(); ++i) cursor.FrameImage(i).frameImage(budget);
        return std::to_string(cursor.FrameCount()) + " frames";
    });
    EXPECT_EQ(run.report, "2000 frames");
    if (!kSanitized) {
        EXPECT_LE(run.peakMiB, 256);
        EXPECT_LE(run.cpuSeconds, 2.0);
    }
}

// A pipe never holds a read: it is refused before anything is read.
TEST_F(ReadLimits, APipeIsRefusedAtOnce) {
    const std::string path = (m_dir / "x.zn").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const Bounded run = RunBounded([&] {
        try {
            ReadBudget budget;
            TZNFile().Read(path, budget);
        } catch (const EFOpenError& e) {
            return std::string(e.what()) + " (" + e.cause() + ")";
        }
        return std::string("read");
    });
    EXPECT_EQ(run.report, "Cannot open file " + path + " (not a regular file)");
    EXPECT_THROW(LoadAnimation(path), EFOpenError);
}

}  // namespace
