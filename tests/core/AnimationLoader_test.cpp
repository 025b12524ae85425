#include "core/AnimationLoader.h"

#include <filesystem>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "builders/Bounded.h"
#include "builders/HostileFiles.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "formats/Errors.h"
#include "formats/AnimatedCursor.h"
#include "formats/ZNFile.h"

namespace {

using namespace test;
namespace fs = std::filesystem;

const Rgb kOffRed{250, 10, 10};  // not a standard colour: shows whether a frame was reduced

std::vector<uint8_t> OffColourIcon() {
    return BuildIcon(MakeImage(16, 16, [](int x, int) { return x == 0 ? Clear() : Opaque(kOffRed); }), 24);
}

// Whole reads, each on a budget of its own.
TDocument OpenZN(std::span<const uint8_t> file, const std::function<void()>& onReducing = {}) { ReadBudget budget; return LoadZNAnimation(file, budget, onReducing); }
TDocument OpenCursor(std::span<const uint8_t> file, const std::function<void()>& onReducing = {}) { ReadBudget budget; return LoadCursorAnimation(file, budget, onReducing); }
TDocument Open(const std::string& path) { ReadBudget budget; return LoadAnimation(path, budget); }

Rgb Pixel(const TDocument& d, int frame, int x) { return d.FrameAt(frame).icon->image().at(x, 0).rgb(); }
bool Transparent(const TDocument& d, int frame, int x) { return d.FrameAt(frame).icon->image().at(x, 0).transparent(); }

TEST(KindOfPath, ComparesTheExtensionOfTheNameInLowerCase) {
    EXPECT_EQ(KindOfPath("/a/b/c.zn"), AnimationKind::ZN);
    EXPECT_EQ(KindOfPath("C.ZN"), AnimationKind::ZN);
    EXPECT_EQ(KindOfPath("x/y.Ani"), AnimationKind::AnimatedCursor);
    EXPECT_EQ(KindOfPath("folder.zn/file"), AnimationKind::Other) << "a dot in the folder is no extension";
    EXPECT_EQ(KindOfPath("file.zn.bak"), AnimationKind::Other);
    EXPECT_EQ(KindOfPath("zn"), AnimationKind::Other);
}

TEST(LoadZNAnimation, KeepsCurrentFilesAsTheyAre) {
    bool reduced = false;
    const auto file = ZNBuilder().currentHeader(2, 3.0, 7, "T", "A")
        .frame(12, OffColourIcon()).frame(40000, OffColourIcon()).compressed();
    const TDocument d = OpenZN(file, [&] { reduced = true; });
    EXPECT_FALSE(reduced);
    EXPECT_EQ(d.title, "T");
    EXPECT_EQ(d.authorName, "A");
    EXPECT_EQ(d.email, "~x") << "the marker is held as read";
    EXPECT_EQ(d.categoryIndex, 7);
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.FrameAt(1).rate, 12);
    EXPECT_EQ(d.FrameAt(2).rate, 40000);
    EXPECT_EQ(Pixel(d, 1, 5), kOffRed);
    EXPECT_TRUE(Transparent(d, 1, 0));
    EXPECT_EQ(d.FrameAt(1).icon->state(), TFrameIcon::State::Built) << "the document holds its own icons";
}

TEST(LoadZNAnimation, ReducesOlderFilesAndGivesEveryFrameTheSpeed) {
    bool reduced = false;
    const auto file = ZNBuilder().currentHeader(2, 2.0, 7).frame(12, OffColourIcon()).frame(30, OffColourIcon())
        .payload();
    const TDocument d = OpenZN(file, [&] { reduced = true; });
    EXPECT_TRUE(reduced);
    EXPECT_EQ(d.categoryIndex, kNoCategory);
    EXPECT_EQ(d.FrameAt(1).rate, 5);
    EXPECT_EQ(d.FrameAt(2).rate, 5);
    EXPECT_EQ(Pixel(d, 2, 5), kStandardColours[kRed]);
    EXPECT_TRUE(Transparent(d, 2, 0));
}

TEST(LoadZNAnimation, RefusesFilesWithoutFrames) {
    EXPECT_THROW(OpenZN(ZNBuilder().currentHeader(0).compressed()), EReadError);
    const auto legacyClaimingThree = ZNBuilder().legacyHeader("3", "318", "5", "1", "t")
        .bytes(EncodeFrameIcon(SampleFrame())).payload();
    EXPECT_THROW(OpenZN(legacyClaimingThree), EReadError);
}

TEST(LoadCursorAnimation, ReducesEveryFrameAndTakesTitleAndCreator) {
    bool reduced = false;
    const TDocument d = OpenCursor(SampleCursor({OffColourIcon(), OffColourIcon()}), [&] { reduced = true; });
    EXPECT_TRUE(reduced);
    EXPECT_EQ(d.title, "Sample");
    EXPECT_EQ(d.authorName, "Zintra");
    EXPECT_EQ(d.email, "");
    EXPECT_EQ(d.categoryIndex, kNoCategory);
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.FrameAt(2).rate, 6);
    EXPECT_EQ(Pixel(d, 1, 5), kStandardColours[kRed]);
}

TEST(LoadCursorAnimation, TakesFramesStoredAsPng) {
    const IconImage frame = SampleFrame();
    auto enlarged = [&](int scale) {
        return MakeImage(16 * scale, 16 * scale, [&](int x, int y) { return frame.at(x / scale, y / scale); });
    };
    // A cursor resource with one PNG entry, and an icon whose 256×256 PNG
    // entry is chosen over its small bitmap.
    Bytes cursor = BuildIcon({PngEntry(enlarged(2))});
    cursor[2] = 2;
    const IconImage red = MakeImage(16, 16, [](int, int) { return Opaque(kStandardColours[kRed]); });
    const Bytes icon = BuildIcon({IconEntry{red, 4, -1, {}}, PngEntry(enlarged(16))});
    const TDocument d = OpenCursor(SampleCursor({cursor, icon}));
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.FrameAt(1).icon->image(), frame);
    EXPECT_EQ(d.FrameAt(2).icon->image(), frame);
}

TEST(LoadCursorAnimation, RefusesMoreFramesThanTheEditorCanNumber) {
    // A header for one frame and 32768 images: the extra images become frames.
    const Bytes tiny = BuildIcon(MakeImage(1, 1, [](int, int) { return Opaque(kStandardColours[kRed]); }), 1);
    std::vector<Bytes> icons(32768, Chunk("icon", tiny));
    const Bytes file = Riff("ACON", {HeaderChunk({}), List("fram", icons)});
    EXPECT_THROW(OpenCursor(file), EReadError);
    icons.pop_back();
    EXPECT_EQ(OpenCursor(Riff("ACON", {HeaderChunk({}), List("fram", icons)})).Count(), 32767);
}

TEST(LoadCursorAnimation, ImportsAnImageThatEveryRecordShowsOnce) {
    // Each "seq " chunk points one record at image 0: 32767 records of one
    // 256×256 image, which a content hash would read 32767 times.
    const Bytes icon = BuildIcon(EnlargedSample(256), 32);
    std::vector<Bytes> chunks{HeaderChunk({.frames = kMaxFrames, .steps = kMaxFrames})};
    for (int i = 0; i < kMaxFrames; ++i) chunks.push_back(Chunk("seq ", Words({0})));
    chunks.push_back(List("fram", {Chunk("icon", icon)}));
    const Bytes file = Riff("ACON", chunks);
    ReadBudget budget;
    const TDocument d = LoadCursorAnimation(file, budget);
    ASSERT_EQ(d.Count(), kMaxFrames);
    EXPECT_EQ(d.FrameAt(kMaxFrames).icon->image(), SampleFrame());
    EXPECT_LT(budget.spent(), 4 * file.size() + 300 * uint64_t(kMaxFrames)) << "each record imported anew";
}

TEST(LoadZNAnimation, DecodesAPngEntryThatFramesRepeatOnce) {
    ReadBudget one, repeated;
    LoadZNAnimation(SharedEntryZN(1, EnlargedSample(256), {}), one);
    EXPECT_EQ(LoadZNAnimation(SharedEntryZN(1000, EnlargedSample(256), {}), repeated).FrameAt(1000).icon->image(), SampleFrame());
    // A decode costs some 300 k units; a repeat hashes and compares 1 KB.
    EXPECT_LT(repeated.spent(), one.spent() + 1000 * 4000) << "each frame decoded anew";
}

class LoadAnimationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("loader_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return path;
    }
    fs::path m_dir;
};

TEST_F(LoadAnimationFiles, ChoosesTheReaderByExtension) {
    const auto zn = ZNBuilder().currentHeader(1).frame(9, OffColourIcon()).compressed();
    const auto ani = SampleCursor({OffColourIcon()});
    EXPECT_EQ(Open(Write("a.ZN", zn)).FrameAt(1).rate, 9);
    EXPECT_EQ(Open(Write("b.Ani", ani)).title, "Sample");
    EXPECT_THROW(Open(Write("c.ani", zn)), EReadError);
    EXPECT_THROW(Open(Write("d.zn", ani)), EZintraError);
    EXPECT_THROW(Open(Write("e.gif", zn)), EReadError);
    EXPECT_THROW(Open(Write("empty.ani", {})), EReadError) << "a 0-byte cursor has no frames";
    EXPECT_THROW(Open((m_dir / "missing.zn").string()), EFOpenError);
}

TEST_F(LoadAnimationFiles, FirstFrameIsTheFullReadsFirstAndCostsOnlyWhatItNeeds) {
    ZNBuilder many;
    many.currentHeader(3000, 3.0, 7, "T", "A");
    for (int i = 0; i < 3000; ++i) many.frame(12 + i, BuildIcon(SampleFrame(), i % 2 ? 4 : 24));
    auto zn = many.compressed();
    const auto cursor = SampleCursor({OffColourIcon(), BuildIcon(SampleFrame())});
    for (const auto& path : {Write("many.zn", zn), Write("two.ani", cursor)}) {
        ReadBudget whole, first;
        const TDocument all = LoadAnimation(path, whole);
        const TDocument one = LoadFirstFrame(KindOfPath(path), path, first);
        ASSERT_EQ(one.Count(), 1) << path;
        EXPECT_EQ(one.title, all.title);
        EXPECT_EQ(one.authorName, all.authorName);
        EXPECT_EQ(one.categoryIndex, all.categoryIndex);
        EXPECT_EQ(one.FrameAt(1).rate, all.FrameAt(1).rate);
        EXPECT_EQ(one.FrameAt(1).icon->image(), all.FrameAt(1).icon->image());
        EXPECT_LT(first.spent(), whole.spent()) << path;
    }
    // Damage after the first frame is not reached.
    zn.resize(zn.size() / 2);
    ReadBudget budget;
    EXPECT_EQ(LoadFirstFrame(AnimationKind::ZN, Write("half.zn", zn), budget).FrameAt(1).rate, 12);
    EXPECT_LT(budget.spent(), zn.size() + 100'000) << "inflated past the first frame";
}

// ---- Hostile files -----------------------------------------------------------
// The crafted files of tests/builders/HostileFiles.h, opened from disk as
// Open and `zntool convert` do, listed as `zntool info` does and read for a
// thumbnail, each in a child process: its address space is capped so that a
// reader that runs away fails there rather than on the machine, and its
// peak resident memory and CPU time are checked against the aims of 256 MiB
// and 2 s.

// Tells today's results apart: the frame count and each distinct rate
// (for a document, with what its frames show).
std::string Summary(int count, const std::set<std::string>& kinds) {
    std::string text = std::to_string(count) + " frames:";
    for (const std::string& kind : kinds) text += " " + kind;
    return text;
}

std::string DocumentSummary(const TDocument& d) {
    const IconImage black = MakeImage(16, 16, [](int, int) { return Opaque(kStandardColours[kBlack]); });
    std::set<std::string> kinds;
    for (int n = 1; n <= d.Count(); ++n) {
        const IconImage& image = d.FrameAt(n).icon->image();
        kinds.insert("rate " + std::to_string(d.FrameAt(n).rate) +
                     (image == black ? " black" : image == SampleFrame() ? " sample" : " other"));
    }
    return Summary(d.Count(), kinds);
}

std::string OpenSummary(const std::string& path) { return DocumentSummary(Open(path)); }

std::string ThumbnailSummary(const std::string& path) {
    ReadBudget budget;
    return DocumentSummary(LoadFirstFrame(KindOfPath(path), path, budget));
}

std::string InfoSummary(const std::string& path) {
    std::set<std::string> kinds;
    ReadBudget budget;
    if (KindOfPath(path) == AnimationKind::ZN) {
        TZNFile file;
        file.Read(path, budget);
        for (int i = 0; i < file.FrameCount(); ++i) kinds.insert("rate " + std::to_string(file.Rate(i)));
        return Summary(file.FrameCount(), kinds);
    }
    TAnimatedCursorImage cursor;
    cursor.ReadCursorFile(path, budget);
    for (int32_t i = 0; i < cursor.FrameCount(); ++i) kinds.insert("rate " + std::to_string(cursor.FrameRate(i)));
    return Summary(cursor.FrameCount(), kinds);
}

struct HostileCase {
    const char* name;
    const char* file;
    Bytes (*build)();
    const char* opened;  // the document's summary, or the error
    const char* listed;
    const char* shown;   // the thumbnail's one frame
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileFile : public LoadAnimationFiles, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileFile, ReadsAsBeforeWithinTheAims) {
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

INSTANTIATE_TEST_SUITE_P(
    Crafted, HostileFile,
    ::testing::Values(
        HostileCase{"HollowIconsInAZNFile", "hollow.zn", [] { return HollowZN(kMaxFrames); },
                    "32767 frames: rate 10 black", "32767 frames: rate 10", "1 frames: rate 10 black"},
        HostileCase{"FewerHollowIconsInAZNFile", "hollow8000.zn", [] { return HollowZN(8000); },
                    "8000 frames: rate 10 black", "8000 frames: rate 10", "1 frames: rate 10 black"},
        HostileCase{"HollowIconsInACursor", "hollow.ani", [] { return HollowCursor(kMaxFrames); },
                    "32767 frames: rate 10 black", "32767 frames: rate 10", "1 frames: rate 10 black"},
        HostileCase{"RateChunkOf16MValues", "rates.ani", RateFlood, "1 frames: rate 7 sample", "1 frames: rate 7",
                    "1 frames: rate 7 sample"},
        HostileCase{"FiveMillionSequenceChunks", "seq.ani", SequenceFlood, "1 frames: rate 10 sample",
                    "1 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"SevenHundredThousandHeaders", "anih.ani", HeaderFlood, "error: Stream read error",
                    "error: Stream read error", "error: Stream read error"},
        HostileCase{"ThousandTextChunksOf8MBInAZNFile", "text1000.zn", [] { return TextFloodZN(1000); },
                    "1 frames: rate 10 sample", "1 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"HundredTextChunksOf8MBInAZNFile", "text100.zn", [] { return TextFloodZN(100); },
                    "1 frames: rate 10 sample", "1 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"HundredTextChunksOf8MBInACursor", "text100.ani", [] { return TextFloodCursor(100); },
                    "1 frames: rate 10 sample", "1 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"GiBPastTheLastRowIn64Frames", "trailing.zn", [] { return TrailingDataZN(64, 1024); },
                    "64 frames: rate 10 sample", "64 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"GiBPastTheLastRowInACursor", "trailing.ani", [] { return TrailingDataCursor(1024); },
                    "1 frames: rate 10 sample", "1 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"OnePngEntryIn32767Frames", "shared.zn", [] { return SharedEntryZN(kMaxFrames, EnlargedSample(256), {}); },
                    "32767 frames: rate 10 sample", "32767 frames: rate 10", "1 frames: rate 10 sample"},
        HostileCase{"OneInterlaced16BitEntryIn32767Frames", "shared16.zn",
                    [] { return SharedEntryZN(kMaxFrames, Black(256), {.sixteenBit = true, .interlaced = true}); },
                    "32767 frames: rate 10 black", "32767 frames: rate 10", "1 frames: rate 10 black"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
