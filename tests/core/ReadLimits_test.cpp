// What a read may cost, whatever the file: the crafted files of
// tests/builders/HostileFiles.h that make zlib work for nothing, text fields
// of 60 MiB and a pipe, and the largest files real writers make, each
// opened as Open and `zntool convert` do, listed as `zntool info` does and
// read for a thumbnail, in a child checked against 256 MiB and 2 s of CPU.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "builders/Bounded.h"
#include "builders/HostileFiles.h"
#include "core/AnimationLoader.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

namespace {

using namespace test;
namespace fs = std::filesystem;

std::string Written(const std::string& name, const Bytes& bytes) {
    const auto path = (fs::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// The frames and the longest text field, all a save would write of them.
std::string OpenSummary(const std::string& path) {
    ReadBudget budget;
    const TDocument d = LoadAnimation(path, budget);
    size_t longest = 0;
    for (const std::string* text : {&d.title, &d.authorName, &d.copyright, &d.email, &d.homepage, &d.comments})
        longest = std::max(longest, text->size());
    return std::to_string(d.Count()) + " frames, text " + std::to_string(longest);
}
std::string InfoSummary(const std::string& path) {
    ReadBudget budget;
    TZNFile file;
    file.Read(path, budget);
    return std::to_string(file.FrameCount()) + " frames, comments " + std::to_string(file.Comments().size());
}
std::string ThumbnailSummary(const std::string& path) {
    ReadBudget budget;
    return std::to_string(LoadFirstFrame(AnimationKind::ZN, path, budget).Count()) + " frames";
}

void ExpectWithinTheAims(const Bounded& run, const std::string& expected) {
    EXPECT_EQ(run.report, expected);
    if (!kSanitized) {
        EXPECT_LE(run.peakMiB, 256) << run.report;
        EXPECT_LE(run.cpuSeconds, 2.0) << run.report;
    }
}

struct Case {
    const char* name;
    Bytes (*build)();
    const char* opened;  // each summary, or the error
    const char* listed;
    const char* shown;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CostlyFile : public ::testing::TestWithParam<Case> {};

TEST_P(CostlyFile, ReadsOrFailsWithin256MiBAnd2Seconds) {
    const std::string path = Written(".zn", GetParam().build());
    using Work = std::string (*)(const std::string&);
    for (auto [work, expected] : {std::pair<Work, const char*>{OpenSummary, GetParam().opened},
                                  {InfoSummary, GetParam().listed},
                                  {ThumbnailSummary, GetParam().shown}})
        ExpectWithinTheAims(RunBounded([&, work = work] { return work(path); }), expected);
    fs::remove(path);
}

constexpr const char* kRefused = "error: Stream read error";
constexpr uint64_t k60MiB = uint64_t(60) << 20;

INSTANTIATE_TEST_SUITE_P(
    Hostile, CostlyFile,
    ::testing::Values(
        Case{"EmptyBlocksInAPngEntry", [] { return EmptyBlocksInAnEntryZN(k60MiB); }, kRefused, "1 frames, comments 2", kRefused},
        Case{"EmptyBlocksBeforeThePayload", [] { return EmptyBlocksBeforeThePayloadZN(k60MiB); }, kRefused, kRefused, kRefused},
        Case{"CommentsOfCarriageReturns", [] { return LongTextZN(false, std::string(k60MiB, '\r')); },
             "1 frames, text 275", "1 frames, comments 275", "1 frames"},
        Case{"ATitleOf60MiB", [] { return LongTextZN(true, std::string(k60MiB, 'T')); }, "1 frames, text 275",
             "1 frames, comments 2", "1 frames"},
        Case{"CommentsOfRandomLetters", [] { return LongTextZN(false, RandomLetters(k60MiB), 1); }, "1 frames, text 275",
             "1 frames, comments 275", "1 frames"}),
    [](const auto& info) { return std::string(info.param.name); });

#define LARGE(name, build, frames) Case{name, build, frames " frames, text 6", frames " frames, comments 2", "1 frames"}
INSTANTIATE_TEST_SUITE_P(
    RealWriters, CostlyFile,
    ::testing::Values(LARGE("EightThousandSmallPngFrames", [] { return SmallLibpngFramesZN(8000); }, "8000"),
                      LARGE("TwelveThousandSmallPngFrames", [] { return SmallLibpngFramesZN(12000); }, "12000"),
                      LARGE("TwentyFourThousandSmallPngFrames", [] { return SmallLibpngFramesZN(24000); }, "24000"),
                      LARGE("A64MiBPayloadOfLargePngFrames", LargeLibpngFramesZN, "250"),
                      LARGE("OurOwn32767Frames", [] { return OwnWriterZN(kMaxFrames); }, "32767")),
    [](const auto& info) { return std::string(info.param.name); });

// A cursor of 2000 frames of 256×256 opens as Open and zntool convert
// open it: every frame sampled and imported on the read's one budget.
TEST(ReadLimits, ACursorOf2000LargePngFramesOpensWithinTheAims) {
    const std::string path = Written(".ani", LargeLibpngCursor());
    ExpectWithinTheAims(RunBounded([&] {
        ReadBudget budget;
        return std::to_string(LoadAnimation(path, budget).Count()) + " frames";
    }), "2000 frames");
    fs::remove(path);
}

TEST(ReadLimits, APipeIsRefusedAtOnce) {
    const std::string path = (fs::temp_directory_path() / (std::to_string(::getpid()) + "x.zn")).string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const Bounded run = RunBounded([&] {
        try {
            ReadBudget budget;
            LoadAnimation(path, budget);
        } catch (const EFOpenError& e) {
            return std::string(e.what()) + " (" + e.cause() + ")";
        }
        return std::string("read");
    });
    fs::remove(path);
    EXPECT_EQ(run.report, "Cannot open file " + path + " (not a regular file)");
}

}  // namespace
