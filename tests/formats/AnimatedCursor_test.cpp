#include "formats/AnimatedCursor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>
#include <unistd.h>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "formats/Errors.h"

namespace {

using namespace std::literals;
using test::AniHeader;
using test::Bytes;
using test::Chunk;
using test::HeaderChunk;
using test::List;
using test::RawChunk;
using test::Text;
using test::Words;

constexpr int32_t kTwoBillion = 2'000'000'000;

// A 16×16 icon in one standard colour; the colour's index tells images apart.
Bytes IconOf(int colour) {
    return test::BuildIcon(test::MakeImage(16, 16, [&](int, int) { return test::Opaque(kStandardColours[size_t(colour)]); }));
}
Bytes IconChunk(int colour) { return Chunk("icon", IconOf(colour)); }
Bytes Fram(std::initializer_list<int> colours) {
    std::vector<Bytes> icons;
    for (int c : colours) icons.push_back(IconChunk(c));
    return List("fram", icons);
}
Bytes Ani(const std::vector<Bytes>& chunks) { return test::Riff("ACON", chunks); }

// One read, on a budget of its own.
void ReadCursorBytes(TAnimatedCursorImage& reader, std::span<const uint8_t> file) {
    ReadBudget budget;
    reader.ReadCursorBytes(file, budget);
}
void ReadCursorFile(TAnimatedCursorImage& reader, const std::string& path) {
    ReadBudget budget;
    reader.ReadCursorFile(path, budget);
}
// The sample frame as a resource whose kind word is kind (1 icon, 2 cursor).
Bytes ResourceOfKind(uint16_t kind) {
    return test::BuildIcon(std::vector<test::IconEntry>{{test::SampleFrame(), 4, -1, {}}}, kind);
}

TAnimatedCursorImage Read(const Bytes& file) {
    TAnimatedCursorImage reader;
    ReadCursorBytes(reader, file);
    return reader;
}
// The colour index of each frame's icon; -1 for bytes that IconOf did not make.
std::vector<int> Shown(const TAnimatedCursorImage& reader) {
    std::vector<int> shown;
    for (int32_t i = 0; i < reader.FrameCount(); ++i) {
        shown.push_back(-1);
        for (int c = 0; c < 16; ++c)
            if (test::BytesOf(reader.FrameImage(i)) == IconOf(c)) shown.back() = c;
    }
    return shown;
}
std::vector<int32_t> Rates(const TAnimatedCursorImage& reader) {
    std::vector<int32_t> rates;
    for (int32_t i = 0; i < reader.FrameCount(); ++i) rates.push_back(reader.FrameRate(i));
    return rates;
}
// The message of the EReadError the bytes raise, or "" when they read.
std::string ReadError(const Bytes& file) {
    try {
        Read(file);
    } catch (const EReadError& e) {
        return e.what();
    }
    return "";
}

const std::vector<int> kImages012{0, 1, 2};

TEST(AnimatedCursorForm, EmptyDataReadsNothingAndKeepsWhatWasHeld) {
    TAnimatedCursorImage reader;
    ReadCursorBytes(reader, {});
    EXPECT_EQ(reader.FrameCount(), 0);
    EXPECT_EQ(reader.Title(), "");
    ReadCursorBytes(reader, Ani({HeaderChunk({.frames = 1}), Fram({4})}));
    ReadCursorBytes(reader, {});
    EXPECT_EQ(Shown(reader), std::vector<int>{4});
}

TEST(AnimatedCursorForm, ErrorTableGivesStreamReadError) {
    const Bytes image = Fram({1});
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"1 byte", Bytes{'R'}},
        {"11 bytes", test::Truncated(Ani({}), 11)},
        {"not RIFF", test::RawChunk("RIFX", 4, Text("ACON"))},
        {"no form type", test::RawChunk("RIFF", 4)},
        {"form not ACON", test::Riff("AVI ", {HeaderChunk({}), image})},
        {"no chunks", Ani({})},
        {"only INFO", Ani({List("INFO", {Chunk("INAM", Text("x"))})})},
        {"flags bit 0 clear", Ani({HeaderChunk({.flags = 2}), image})},
        {"step count 0", Ani({HeaderChunk({.steps = 0}), image})},
        {"data ends in a rate value", test::Truncated(Ani({HeaderChunk({.frames = 2}), Chunk("rate", Words({1, 2}))}), 66)},
        {"last icon longer than the data", test::Truncated(Ani({HeaderChunk({.frames = 2}), Fram({1, 2})}), 600)},
        {"no image", Ani({HeaderChunk({.frames = 3})})},
        {"only kind 3", Ani({HeaderChunk({}), List("fram", {Chunk("icon", ResourceOfKind(3))})})},
    };
    for (const auto& [name, file] : cases) EXPECT_EQ(ReadError(file), "Stream read error") << name;
}

TEST(AnimatedCursorForm, WalkRunsToTheEndOfTheDataNotOfTheForm) {
    const Bytes chunks = test::Concat({HeaderChunk({.frames = 2}), Fram({3, 5})});
    EXPECT_EQ(Shown(Read(test::Riff("ACON", {chunks}, 4))), (std::vector<int>{3, 5}));
    EXPECT_EQ(Shown(Read(test::Riff("ACON", {chunks}, 0xFFFFFFFF))), (std::vector<int>{3, 5}));
}

TEST(AnimatedCursorForm, FailedReadLeavesTheReaderEmpty) {
    TAnimatedCursorImage reader = Read(Ani({HeaderChunk({}), List("INFO", {Chunk("INAM", Text("Old"))}), Fram({1})}));
    EXPECT_THROW(ReadCursorBytes(reader, Ani({HeaderChunk({.steps = 0})})), EReadError);
    EXPECT_EQ(reader.FrameCount(), 0);
    EXPECT_EQ(reader.Title(), "");
}

TEST(AnimatedCursorForm, ChargesTheReadsBudgetForEveryChunkItWalks) {
    // The same bytes as 1000 empty chunks and as one: the walk costs per chunk.
    std::vector<Bytes> chunks(1000, Chunk("junk", {}));
    chunks.push_back(HeaderChunk({}));
    chunks.push_back(Fram({1}));
    ReadBudget walked, skipped;
    TAnimatedCursorImage reader;
    reader.ReadCursorBytes(Ani(chunks), walked);
    reader.ReadCursorBytes(Ani({Chunk("junk", Bytes(999 * 8)), HeaderChunk({}), Fram({1})}), skipped);
    EXPECT_GE(walked.spent(), skipped.spent() + 999);
}

TEST(AnimatedCursorForm, TypicalCursorGivesOneFramePerStoredImage) {
    const auto reader = Read(test::SampleCursor({IconOf(4), IconOf(9), IconOf(4)}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{4, 9, 4}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{5, 6, 7}));
    EXPECT_EQ(reader.Title(), "Sample");
    EXPECT_EQ(reader.Creator(), "Zintra");
}

TEST(AnimatedCursorRates, RateChunkGivesEachFrameItsValue) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 3}), Chunk("rate", Words({10, 20, 30})), Fram({0, 1, 2})}));
    EXPECT_EQ(Shown(reader), kImages012);
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{10, 20, 30}));
}

TEST(AnimatedCursorRates, WithoutRateChunkEveryFrameHasTheDefault) {
    EXPECT_EQ(Rates(Read(Ani({HeaderChunk({.frames = 3, .rate = 6}), Fram({0, 1, 2})}))), (std::vector<int32_t>{6, 6, 6}));
}

TEST(AnimatedCursorRates, RateChunkBeforeTheHeaderChangesNothing) {
    const auto reader = Read(Ani({Chunk("rate", Words({1, 2})), HeaderChunk({.frames = 2, .rate = 6}), Fram({0, 1})}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{6, 6}));
}

TEST(AnimatedCursorRates, ValuesBeyondTheRecordsAreSkippedAndRecordsBeyondTheValuesKeepTheirs) {
    // An odd-sized chunk's pad byte is skipped too.
    Bytes fiveBytes = Words({7});
    fiveBytes.push_back(9);
    EXPECT_EQ(Rates(Read(Ani({HeaderChunk({.frames = 2, .rate = 6}), Chunk("rate", fiveBytes), Fram({0, 1})}))),
              (std::vector<int32_t>{7, 6}));
    EXPECT_EQ(Rates(Read(Ani({HeaderChunk({.frames = 1}), Chunk("rate", Words({7, 8, 9})), Fram({0})}))),
              std::vector<int32_t>{7});
}

TEST(AnimatedCursorRates, DataEndingInValuesNotToBeReadEndsTheWalk) {
    // Two records, a rate chunk of four values cut after the second value.
    const Bytes file = Ani({HeaderChunk({.frames = 2}), Fram({0, 1}), Chunk("rate", Words({5, 6, 7, 8}))});
    EXPECT_EQ(Rates(Read(test::Truncated(file, file.size() - 8))), (std::vector<int32_t>{5, 6}));
}

TEST(AnimatedCursorRates, WithoutHeaderImagesGetRateZeroOrAFollowingRateChunk) {
    EXPECT_EQ(Rates(Read(Ani({Fram({0, 1})}))), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Rates(Read(Ani({Fram({0, 1}), Chunk("rate", Words({4, 5}))}))), (std::vector<int32_t>{4, 5}));
}

TEST(AnimatedCursorBinding, HeaderCountAndImageCountDisagree) {
    EXPECT_EQ(Shown(Read(Ani({HeaderChunk({.frames = 3}), Fram({0, 1})}))), (std::vector<int>{0, 1}));
    const auto reader = Read(Ani({HeaderChunk({.frames = 2, .rate = 6}), Chunk("rate", Words({1, 2})), Fram({0, 1, 2})}));
    EXPECT_EQ(Shown(reader), kImages012);
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{1, 2, 6}));
}

TEST(AnimatedCursorBinding, SequenceOfStepsIsNotPlayedOut) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 2, .steps = 4}), Chunk("rate", Words({5, 6, 7, 8})),
                                  Chunk("seq ", Words({0, 1, 0, 1})), Fram({0, 1})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{0, 1}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{5, 6}));
}

TEST(AnimatedCursorBinding, OnlyTheFirstStepOfASequenceChunkBinds) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 3, .rate = 6}), Chunk("rate", Words({1, 2, 3})),
                                  Chunk("seq ", Words({2, 0, 1})), Fram({0, 1, 2})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{2, 1, 2, 0}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{1, 2, 3, 6}));
    EXPECT_EQ(reader.FrameImage(0).bytes().data(), reader.FrameImage(2).bytes().data());  // one image, held once
}

TEST(AnimatedCursorBinding, EachSequenceChunkBindsTheNextRecord) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 3}), Chunk("seq ", Words({1})), Chunk("seq ", Words({0})),
                                  Fram({0, 1, 2})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{1, 0, 2}));
}

TEST(AnimatedCursorBinding, SecondHeaderAppendsRecordsNumberedFromZero) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 2}), HeaderChunk({.frames = 2}), Fram({0, 1})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{0, 1, 0, 1}));
}

TEST(AnimatedCursorBinding, ShortHeaderKeepsTheRestOfThePreviousOne) {
    // Eight bytes: header size and a frame count of 1; rate and flags stay.
    const auto reader = Read(Ani({HeaderChunk({.frames = 1, .rate = 9}), Chunk("anih", Words({36, 1})), Fram({0})}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{9, 9}));
}

TEST(AnimatedCursorBinding, ZeroOrNegativeFrameCountMakesExtraRecordsAtDefaultRate) {
    EXPECT_EQ(Rates(Read(Ani({HeaderChunk({.frames = -5, .rate = 3}), Fram({0, 1})}))), (std::vector<int32_t>{3, 3}));
}

TEST(AnimatedCursorImages, CursorResourceBecomesAnIcon) {
    const Bytes cursor = ResourceOfKind(2);
    const auto reader = Read(Ani({HeaderChunk({}), List("fram", {Chunk("icon", cursor)})}));
    Bytes expected = cursor;
    expected[2] = 1;
    EXPECT_EQ(test::BytesOf(reader.FrameImage(0)), expected);
    EXPECT_EQ(reader.FrameImage(0).state(), TFrameIcon::State::Loaded);
    EXPECT_EQ(test::Decoded(reader.FrameImage(0)), test::SampleFrame());
}

TEST(AnimatedCursorImages, KindThreeStopsItsListButNotTheWalk) {
    const Bytes kind3 = ResourceOfKind(3);
    const auto reader = Read(Ani({HeaderChunk({.frames = 3}),
                                  List("fram", {IconChunk(0), Chunk("icon", kind3), IconChunk(1)}),
                                  Chunk("rate", Words({8, 9, 9}))}));
    EXPECT_EQ(Shown(reader), std::vector<int>{0});
    EXPECT_EQ(Rates(reader), std::vector<int32_t>{8});
}

TEST(AnimatedCursorImages, IconOfFewerThanSixBytesStopsItsList) {
    for (size_t size = 0; size <= 5; ++size) {
        Bytes tiny{0, 0, 1, 0, 1};
        tiny.resize(size);
        EXPECT_EQ(Shown(Read(Ani({HeaderChunk({.frames = 2}), List("fram", {IconChunk(0), Chunk("icon", tiny), IconChunk(1)})}))),
                  std::vector<int>{0}) << size;
    }
}

TEST(AnimatedCursorImages, OddSizedIconIsFollowedByItsPadByte) {
    Bytes odd = IconOf(7);
    odd.push_back(0xAB);
    const auto reader = Read(Ani({HeaderChunk({.frames = 2}), List("fram", {Chunk("icon", odd), IconChunk(2)})}));
    EXPECT_EQ(test::BytesOf(reader.FrameImage(0)), odd);
    EXPECT_EQ(Shown(reader), (std::vector<int>{-1, 2}));
}

TEST(AnimatedCursorImages, OtherChunksAndListsAreSkipped) {
    const auto reader = Read(Ani({Chunk("icon", IconOf(9)), List("abcd", {IconChunk(9)}), HeaderChunk({.frames = 2}),
                                  List("fram", {Chunk("junk", Text("odd")), IconChunk(0), IconChunk(1)})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{0, 1}));
}

TEST(AnimatedCursorInformation, TitleAndCreatorAreTakenAsStored) {
    const auto reader = Read(Ani({List("INFO", {Chunk("INAM", Text(" Caf\xE9 ")), Chunk("IART", Text("Ann\0tail"sv))}),
                                  HeaderChunk({}), Fram({0})}));
    EXPECT_EQ(reader.Title(), " Caf\xE9 ");
    EXPECT_EQ(reader.Creator(), "Ann");
}

TEST(AnimatedCursorInformation, LongTitleKeeps255CharactersAndTheWalkGoesOn) {
    const std::string long300(300, 'T');
    const auto reader = Read(Ani({List("INFO", {Chunk("INAM", Text(long300)), Chunk("IART", Text("Bob"))}),
                                  HeaderChunk({}), Fram({0})}));
    EXPECT_EQ(reader.Title(), std::string(255, 'T'));
    EXPECT_EQ(reader.Creator(), "Bob");
}

TEST(AnimatedCursorInformation, OddSizedStringIsFollowedByItsPadByte) {
    const auto reader = Read(Ani({List("INFO", {Chunk("INAM", Text("Odd")), Chunk("IART", Text("Even"))}),
                                  HeaderChunk({}), Fram({0})}));
    EXPECT_EQ(reader.Title(), "Odd");
    EXPECT_EQ(reader.Creator(), "Even");
}

TEST(AnimatedCursorInformation, LaterStringOverwritesOnlyAsFarAsItGoes) {
    const auto reader = Read(Ani({List("INFO", {Chunk("INAM", Text("Hello world")), Chunk("INAM", Text("Jim"))}),
                                  HeaderChunk({}), Fram({0})}));
    EXPECT_EQ(reader.Title(), "Jimlo world");
}

TEST(AnimatedCursorInformation, StringLongerThanItsListStopsTheInformationWalk) {
    // The walk resumes inside the list, where the string's data reads as an
    // empty chunk and "IART" as an unknown one.
    const Bytes info = List("INFO", {RawChunk("INAM", 100, Chunk("JUNK", {})), Chunk("IART", Text("Bob"))});
    const auto reader = Read(Ani({HeaderChunk({}), info, Fram({0})}));
    EXPECT_EQ(reader.Title(), "");
    EXPECT_EQ(reader.Creator(), "");
    EXPECT_EQ(reader.FrameCount(), 1);
}

TEST(AnimatedCursorInformation, StringsOutsideAnInfoListAreSkipped) {
    EXPECT_EQ(Read(Ani({Chunk("INAM", Text("No")), HeaderChunk({}), Fram({0})})).Title(), "");
}

TEST(AnimatedCursorUnsafeInput, LongHeaderFillsTheHeaderAndSkipsTheRest) {
    Bytes data = test::HeaderData({.frames = 2, .rate = 4});
    const Bytes extra = Words({99, 99, 99});
    data.insert(data.end(), extra.begin(), extra.end());
    data.push_back(1);  // odd size: pad byte follows
    EXPECT_EQ(Rates(Read(Ani({Chunk("anih", data), Fram({0, 1})}))), (std::vector<int32_t>{4, 4}));
}

TEST(AnimatedCursorUnsafeInput, SizesOf2To31OrMoreFail) {
    const Bytes huge = RawChunk("junk", 0x80000000u, Bytes(8, 0));
    EXPECT_EQ(ReadError(Ani({HeaderChunk({}), Fram({0}), huge})), "Stream read error");
    EXPECT_EQ(ReadError(Ani({HeaderChunk({}), List("fram", {IconChunk(0), RawChunk("icon", 0xFFFFFFF8u)})})),
              "Stream read error");
    EXPECT_EQ(ReadError(Ani({HeaderChunk({}), Fram({0}), List("INFO", {RawChunk("INAM", 0xFFFFFFFFu)})})),
              "Stream read error");
}

TEST(AnimatedCursorUnsafeInput, ListTooShortForItsTypeNeverMovesBack) {
    // Moving back would read the type and the header's ID as a chunk and lose the header.
    const Bytes empty = test::Concat({RawChunk("LIST", 0), Text("abcd")});
    EXPECT_EQ(Shown(Read(Ani({empty, HeaderChunk({.frames = 2}), Fram({0, 1})}))), (std::vector<int>{0, 1}));
}

TEST(AnimatedCursorUnsafeInput, SequenceChunkTooShortForAStepChangesNoRecordButCounts) {
    const auto reader = Read(Ani({HeaderChunk({.frames = 3}), Chunk("seq ", {2, 0}), Chunk("seq ", Words({2})),
                                  Fram({0, 1, 2})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{0, 2, 2, 1}));
}

TEST(AnimatedCursorUnsafeInput, HugeFrameCountCostsOnlyWhatTheImagesFill) {
    const auto reader = Read(Ani({HeaderChunk({.frames = kTwoBillion, .rate = 3}), Chunk("rate", Words({7})), Fram({0, 1})}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{0, 1}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{7, 3}));
}

TEST(AnimatedCursorUnsafeInput, HugeFrameCountsBindLikeSmallOnes) {
    EXPECT_EQ(Shown(Read(Ani({HeaderChunk({.frames = kTwoBillion}), HeaderChunk({.frames = kTwoBillion}), Fram({0, 1})}))),
              (std::vector<int>{0, 1, 0, 1}));
    // Image 0 is claimed by no record and goes to the end, behind two billion empty ones.
    const auto reader = Read(Ani({HeaderChunk({.frames = kTwoBillion, .rate = 3}), Chunk("seq ", Words({1})),
                                  Chunk("rate", Words({5, 6})), Fram({0, 1}), Chunk("rate", Words({8}))}));
    EXPECT_EQ(Shown(reader), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{8, 6, 3}));
}

TEST(AnimatedCursorUnsafeInput, MoreFramesThanTheFileHasBytesFail) {
    // Every empty "anih" repeats the header; each image is claimed once per header.
    auto file = [](int headers, int images) {
        std::vector<Bytes> chunks{HeaderChunk({.frames = kTwoBillion})};
        for (int i = 1; i < headers; ++i) chunks.push_back(Chunk("anih", {}));
        std::vector<Bytes> icons(size_t(images), Chunk("icon", {0, 0, 1, 0, 1, 0}));
        chunks.push_back(List("fram", icons));
        return Ani(chunks);
    };
    EXPECT_EQ(Read(file(200, 5)).FrameCount(), 1000);
    EXPECT_EQ(ReadError(file(200, 20)), "Stream read error");
}

// The reading as stated, one record per announced frame, beside the reader
// on random small cursors: headers (identical ones in a row too), rate and
// sequence chunks and lists of images, in any order.
TEST(AnimatedCursorBinding, ListsTheRecordsTheStatedReadingMakes) {
    std::mt19937 random(12);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int file = 0; file < 3000; ++file) {
        struct Record { int image; int32_t rate; int seq; };
        std::vector<Record> records;
        std::vector<Bytes> chunks;
        int32_t defaultRate = 0;
        int images = 0, sequenceChunks = 0;
        for (int c = pick(1, 25); c > 0; --c) {
            switch (pick(0, 3)) {
            case 0: {
                const int count = pick(-1, 3);
                defaultRate = pick(1, 2);
                chunks.push_back(HeaderChunk({.frames = count, .rate = defaultRate}));
                for (int n = 0; n < count; ++n) records.push_back({-1, defaultRate, n});
                break;
            }
            case 1: {
                std::vector<int32_t> values(size_t(pick(0, 5)));
                for (size_t i = 0; i < values.size(); ++i) {
                    values[i] = pick(10, 99);
                    if (i < records.size()) records[i].rate = values[i];
                }
                chunks.push_back(Chunk("rate", Words(values)));
                break;
            }
            case 2: {
                const int step = pick(-1, 8);
                chunks.push_back(Chunk("seq ", Words({step})));
                if (size_t(sequenceChunks++) < records.size()) records[size_t(sequenceChunks - 1)].seq = step;
                break;
            }
            default: {
                std::vector<Bytes> icons;
                bool taken = true;  // an icon that is no image stops its list
                for (int i = pick(0, 3); i > 0; --i) {
                    const int kind = pick(0, 9) ? pick(1, 2) : 3;
                    icons.push_back(Chunk("icon", {0, 0, uint8_t(kind), 0, 1, 0, uint8_t(images)}));
                    taken = taken && kind != 3;
                    if (!taken) continue;
                    bool claimed = false;
                    for (Record& r : records)
                        if (r.seq == images) r.image = images, claimed = true;
                    if (!claimed) records.push_back({images, defaultRate, -1});
                    ++images;
                }
                chunks.push_back(List("fram", icons));
            }
            }
        }
        std::string expected, read;
        for (const Record& r : records)
            if (r.image >= 0) expected += std::to_string(r.image) + "@" + std::to_string(r.rate) + " ";
        try {
            const auto reader = Read(Ani(chunks));
            for (int32_t i = 0; i < reader.FrameCount(); ++i)
                read += std::to_string(reader.FrameImage(i).bytes()[6]) + "@" + std::to_string(reader.FrameRate(i)) + " ";
        } catch (const EReadError&) {
        }
        ASSERT_EQ(read, expected) << "file " << file;
    }
}

class AnimatedCursorFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = (std::filesystem::temp_directory_path() /
                  ("ani_test_" + std::to_string(::getpid()) + ".ani")).string();
    }
    void TearDown() override { std::filesystem::remove(m_path); }
    void Write(const Bytes& bytes) const {
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::string m_path;
};

TEST_F(AnimatedCursorFile, ReadsTheWholeFile) {
    Write(Ani({List("INFO", {Chunk("IART", Text("Ann"))}), HeaderChunk({.frames = 2, .rate = 5}), Fram({6, 7})}));
    TAnimatedCursorImage reader;
    ReadCursorFile(reader, m_path);
    EXPECT_EQ(Shown(reader), (std::vector<int>{6, 7}));
    EXPECT_EQ(Rates(reader), (std::vector<int32_t>{5, 5}));
    EXPECT_EQ(reader.Creator(), "Ann");
}

TEST_F(AnimatedCursorFile, FileThatCannotBeOpenedKeepsWhatWasHeld) {
    TAnimatedCursorImage reader = Read(Ani({HeaderChunk({}), Fram({3})}));
    const std::string missing = m_path + ".missing";
    try {
        ReadCursorFile(reader, missing);
        FAIL() << "no failure";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
    EXPECT_EQ(Shown(reader), std::vector<int>{3});
}

TEST_F(AnimatedCursorFile, EmptyFileSucceedsAndKeepsWhatWasHeld) {
    Write({});
    TAnimatedCursorImage reader = Read(Ani({HeaderChunk({}), Fram({3})}));
    ReadCursorFile(reader, m_path);
    EXPECT_EQ(Shown(reader), std::vector<int>{3});
}

TEST_F(AnimatedCursorFile, DamagedFileEmptiesTheReader) {
    Write(Ani({HeaderChunk({.flags = 0}), Fram({3})}));
    TAnimatedCursorImage reader = Read(Ani({HeaderChunk({}), Fram({3})}));
    EXPECT_THROW(ReadCursorFile(reader, m_path), EReadError);
    EXPECT_EQ(reader.FrameCount(), 0);
}

TEST_F(AnimatedCursorFile, FileOverTheSizeLimitFailsAndEmptiesTheReader) {
    Write({});
    std::filesystem::resize_file(m_path, kMaxCursorFileBytes + 1);  // sparse: costs no disk
    TAnimatedCursorImage reader = Read(Ani({HeaderChunk({}), Fram({3})}));
    try {
        ReadCursorFile(reader, m_path);
        FAIL() << "no failure";
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()), "Stream read error");
    }
    EXPECT_EQ(reader.FrameCount(), 0);
}

}  // namespace
