#include "formats/ZNFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "builders/ZNBuilder.h"
#include "core/Document.h"
#include "core/DocumentFile.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"

namespace {

using test::ZNBuilder;
namespace fs = std::filesystem;

std::unique_ptr<TFrameIcon> Frame(Rgb colour) {
    return TFrameIcon::Built(test::MakeImage(16, 16, [&](int x, int) {
        return x == 0 ? test::Clear() : test::Opaque(colour);
    }));
}

std::vector<uint8_t> FrameBytes(Rgb colour) { return test::BytesOf(*Frame(colour)); }

// The one-frame document with title a, author b and empty optional fields.
TDocument SmallDocument() {
    TDocument d;
    d.title = "a";
    d.authorName = "b";
    d.categoryIndex = 0;
    d.CommitFrame(1, Frame(kStandardColours[kRed]), 10);
    return d;
}

// One read, on a budget of its own.
void ReadBytes(TZNFile& reader, std::span<const uint8_t> file) {
    ReadBudget budget;
    reader.ReadBytes(file, budget);
}
void Read(TZNFile& reader, const std::string& path) {
    ReadBudget budget;
    reader.Read(path, budget);
}

template <typename E>
std::string ReadError(const std::vector<uint8_t>& file) {
    TZNFile reader;
    try {
        ReadBytes(reader, file);
    } catch (const E& e) {
        EXPECT_EQ(reader.FrameCount(), 0) << "nothing read survives a failure";
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other error: ") + e.what();
    }
    return "no error";
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("zn_test_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    fs::path m_dir;
};

// --- Writing ----------------------------------------------------------------

TEST(ZNWriter, WritesTheCurrentLayoutPayload) {
    const auto expected = ZNBuilder()
        .bytes("ZNFIL").bytes(std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0x08, 0x40}).u8(0)
        .string("a").string("b").string("").string("~x").string("~x").string("~x")
        .u8(5).i32(1).i32(10).i32(318).bytes(FrameBytes(kStandardColours[kRed]))
        .payload();
    const TDocument d = SmallDocument();
    EXPECT_EQ(ZNPayload(d), expected);
    EXPECT_EQ(EncodeZNFile(d), ZNBuilder::Compress(expected, 9)) << "one zlib stream at level 9";
}

TEST(ZNWriter, WritesTheMarkerOnlyForBlankOptionalFields) {
    TDocument d = SmallDocument();
    d.email = "   ";
    d.homepage = " h ";
    d.comments = "~x";
    d.copyright = "  ";
    TZNFile read;
    ReadBytes(read, EncodeZNFile(d));
    EXPECT_EQ(read.Email(), "~x");
    EXPECT_EQ(read.Homepage(), " h ");
    EXPECT_EQ(read.Comments(), "~x");
    EXPECT_EQ(read.Copyright(), "  ") << "copyright is written as held";
}

TEST(ZNWriter, RefusesAFrameWithoutAnImage) {
    TDocument d = SmallDocument();
    d.AddFrame();
    try {
        EncodeZNFile(d);
        FAIL() << "an empty frame was written";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Icon image is not valid");
    }
}

TEST(ZNWriter, ReportsMemoryZlibCannotGetAsOutOfResources) {
    const auto payload = ZNPayload(SmallDocument());
    try {
        CompressZNPayload(payload, [](void*, unsigned, unsigned) -> void* { return nullptr; });
        FAIL() << "compressed without memory";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Out of system resources");
        EXPECT_EQ(e.cause(), "compressing the animation: insufficient memory");
    }
}

// --- Reading ----------------------------------------------------------------

TEST(ZNReader, ReadsBackWhatWasWritten) {
    TDocument d = SmallDocument();
    d.AppendFrame(Frame(kStandardColours[kTeal]), 32736);
    d.email = "me@example.org";
    d.homepage = "http://example.org";
    d.comments = "hi";
    d.copyright = std::string(275, 'c');  // longer than anything typed: kept whole
    d.categoryIndex = 15;
    TZNFile read;
    ReadBytes(read, EncodeZNFile(d));
    EXPECT_EQ(read.Layout(), ZNLayout::Compressed);
    EXPECT_EQ(read.Version(), 3.0);
    EXPECT_EQ(read.Category(), 15);
    EXPECT_EQ(read.Title(), "a");
    EXPECT_EQ(read.AuthorName(), "b");
    EXPECT_EQ(read.Email(), "me@example.org");
    EXPECT_EQ(read.Homepage(), "http://example.org");
    EXPECT_EQ(read.Comments(), "hi");
    EXPECT_EQ(read.Copyright(), d.copyright);
    EXPECT_EQ(read.Speed(), 5);
    ASSERT_EQ(read.FrameCount(), 2);
    EXPECT_EQ(read.Rate(0), 10);
    EXPECT_EQ(read.Rate(1), 32736);
    EXPECT_EQ(test::BytesOf(read.Icon(1)), test::BytesOf(*d.FrameAt(2).icon));
    EXPECT_EQ(test::Decoded(read.Icon(1)), d.FrameAt(2).icon->image());
}

TEST(ZNReader, ReadsAPayloadTheSameRawOrCompressed) {
    const auto payload = ZNPayload(SmallDocument());
    TZNFile raw, packed;
    ReadBytes(raw, payload);
    ReadBytes(packed, ZNBuilder::Compress(payload, 1));
    EXPECT_EQ(raw.Layout(), ZNLayout::Uncompressed);
    EXPECT_EQ(packed.Layout(), ZNLayout::Compressed);
    EXPECT_EQ(raw.Title(), packed.Title());
    EXPECT_EQ(raw.Rate(0), packed.Rate(0));
    EXPECT_EQ(test::BytesOf(raw.Icon(0)), test::BytesOf(packed.Icon(0)));
}

TEST(ZNReader, CutsStringsAtTheirFirstZeroByte) {
    const auto file = ZNBuilder().bytes("ZNFIL").f64(3.0).u8(1).string(std::string("ab\0cd", 5))
        .string("x").string("").string("").string("").string("").u8(5).i32(0).payload();
    TZNFile read;
    ReadBytes(read, file);
    EXPECT_EQ(read.Title(), "ab");
    EXPECT_EQ(read.AuthorName(), "x") << "the fields after it stay in step";
    EXPECT_EQ(read.FrameCount(), 0);
}

TEST(ZNReader, BelowVersionThreeEveryFrameHasTheSpeedValue) {
    const auto file = ZNBuilder().currentHeader(2, 2.5, 7)
        .frame(10, FrameBytes(kStandardColours[kRed])).frame(20, FrameBytes(kStandardColours[kRed]))
        .compressed();
    TZNFile read;
    ReadBytes(read, file);
    EXPECT_EQ(read.Rate(0), 5);
    EXPECT_EQ(read.Rate(1), 5);
}

TEST(ZNReader, ReadsTheLegacyLayout) {
    const auto icon = FrameBytes(kStandardColours[kBlue]);
    const auto file = ZNBuilder().legacyHeader("1", "  318", " 5", " 2", "Old title")
        .bytes(icon).bytes(FrameBytes(kStandardColours[kRed])).payload();
    TZNFile read;
    ReadBytes(read, file);
    EXPECT_EQ(read.Layout(), ZNLayout::Legacy);
    EXPECT_EQ(read.Version(), 1.0);
    EXPECT_EQ(read.Title(), "Old title");
    EXPECT_EQ(read.AuthorName(), "");
    EXPECT_EQ(read.Category(), 0);
    ASSERT_EQ(read.FrameCount(), 2);
    EXPECT_EQ(read.Rate(0), 12);
    EXPECT_EQ(read.Rate(1), 12);
    EXPECT_EQ(test::BytesOf(read.Icon(0)), icon);
    // The same payload compressed reads the same.
    TZNFile packed;
    ReadBytes(packed, ZNBuilder::Compress(file));
    EXPECT_EQ(packed.Rate(1), 12);
}

TEST(ZNReader, MapsLegacySpeedCodesToRates) {
    const std::pair<const char*, int> table[] = {
        {"1", 1}, {"2", 3}, {"3", 6}, {"4", 9}, {"5", 12}, {"6", 15}, {"7", 18}, {"8", 21},
        {"9", 24}, {"0", 27}, {"12", 27}, {"-3", 27}};
    for (auto [code, rate] : table) {
        const auto file = ZNBuilder().legacyHeader("1.5", "318", code, "1", "t")
            .bytes(FrameBytes(kStandardColours[kRed])).payload();
        TZNFile read;
        ReadBytes(read, file);
        EXPECT_EQ(read.Rate(0), rate) << "speed code " << code;
    }
}

TEST(ZNReader, ALegacyFileClaimingVersionThreeHasNoRates) {
    const auto file = ZNBuilder().legacyHeader("3.0", "318", "5", "1", "t")
        .bytes(FrameBytes(kStandardColours[kRed])).payload();
    TZNFile read;
    ReadBytes(read, file);
    EXPECT_THROW(read.Rate(0), EReadError);
}

TEST(ZNReader, ReportsEachKindOfDamage) {
    const auto good = ZNPayload(SmallDocument());
    EXPECT_EQ(ReadError<EZNError>(ZNBuilder::Compress({'X', 'N', 'F'})), "This is not a valid ZN File.");
    EXPECT_EQ(ReadError<EDecompressionError>({'Q', 'Q', 'Q', 'Q'}), "error");
    try {
        TZNFile reader;
        ReadBytes(reader, std::vector<uint8_t>{'Q', 'Q'});
    } catch (const EDecompressionError& e) {
        EXPECT_EQ(e.cause(), "not a ZN file, or its compressed data is damaged");
    }
    EXPECT_EQ(ReadError<EDecompressionError>({}), "error");

    auto truncated = ZNBuilder::Compress(good);
    truncated.resize(truncated.size() - 10);
    EXPECT_EQ(ReadError<EDecompressionError>(truncated), "error");
    auto badChecksum = ZNBuilder::Compress(good);
    badChecksum.back() ^= 1;
    EXPECT_EQ(ReadError<EDecompressionError>(badChecksum), "error");
    auto trailing = ZNBuilder::Compress(good);
    trailing.push_back(0);
    EXPECT_EQ(ReadError<EDecompressionError>(trailing), "error");

    EXPECT_EQ(ReadError<EReadError>(std::vector<uint8_t>(good.begin(), good.end() - 1)), "Stream read error");
    EXPECT_EQ(ReadError<EReadError>(ZNBuilder().bytes("ZNFIL").f64(3).u8(0).i32(-1).payload()),
              "Stream read error");
    EXPECT_EQ(ReadError<EReadError>(ZNBuilder().currentHeader(1).i32(10).i32(0).payload()),
              "Stream read error") << "icon size must be positive";
    EXPECT_EQ(ReadError<EConvertError>(ZNBuilder().legacyHeader("1", "3x8", "5", "1", "t").payload()),
              "'3x8' is not a valid integer value");
    EXPECT_EQ(ReadError<EConvertError>(ZNBuilder().legacyHeader("1,5", "318", "5", "1", "t").payload()),
              "'1,5' is not a valid floating point value");
    const auto badIcon = ZNBuilder().currentHeader(1).frame(10, {0, 0, 2, 0, 1, 0}).payload();
    EXPECT_EQ(ReadError<EInvalidGraphic>(badIcon), "Icon image is not valid");
}

TEST(ZNReader, RefusesCountsTheBytesCannotHold) {
    // Two billion frames announced, none present: refused before allocating.
    EXPECT_EQ(ReadError<EReadError>(ZNBuilder().currentHeader(2'000'000'000).payload()), "Stream read error");
    EXPECT_EQ(ReadError<EReadError>(ZNBuilder().currentHeader(1).i32(1).i32(0x7FFFFFFF).payload()),
              "Stream read error");
    EXPECT_EQ(ReadError<EReadError>(ZNBuilder().bytes("ZNFIL").f64(3).u8(0).i32(0x7FFFFFFF).payload()),
              "Stream read error");
    // More frames than 16-bit frame numbers reach, even when they are all there.
    ZNBuilder many;
    many.currentHeader(32768);
    const std::vector<uint8_t> tiny = {0, 0, 1, 0, 1, 0};
    for (int i = 0; i < 32768; ++i) many.frame(1, tiny);
    EXPECT_EQ(ReadError<EReadError>(many.payload()), "Stream read error");
}

TEST(ZNReader, StopsInflatingAtThePayloadCap) {
    const std::vector<uint8_t> zeros(kMaxZNPayload + 1, 0);
    const std::vector<uint8_t> bomb = ZNBuilder::Compress(zeros);
    EXPECT_EQ(ReadError<EReadError>(bomb), "Stream read error");
}

TEST(ZNReader, StopsInflatingWhereItsBudgetEnds) {
    // The zlib stream is ended on the way out (a leak under the sanitizers).
    const auto file = ZNBuilder::Compress(std::vector<uint8_t>(1 << 20, 0));
    ReadBudget budget(100'000);
    try {
        TZNFile().ReadBytes(file, budget);
        FAIL() << "inflated past the budget";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
        EXPECT_NE(e.cause().find("inflating a ZN file"), std::string::npos) << e.cause();
    }
}

TEST(ZNReader, KeepsTheFirst275BytesOfAStringAndReadsOnInStep) {
    const std::string copyright(300, 'c');
    const auto payload = ZNBuilder().bytes("ZNFIL").f64(3.0).u8(2).string("T").string("A").string(copyright)
        .string("e").string(std::string(kMaxTextFieldBytes, 'h')).string("x").u8(5).i32(1)
        .frame(7, FrameBytes(kStandardColours[kRed])).payload();
    TZNFile read;
    ReadBytes(read, payload);
    EXPECT_EQ(read.Copyright(), copyright.substr(0, 275));
    EXPECT_EQ(read.Homepage().size(), 275u) << "what the editor writes is kept whole";
    EXPECT_EQ(read.Comments(), "x");
    EXPECT_EQ(read.Rate(0), 7);
}

TEST(ZNReader, FramelessFilesHaveNoFirstRate) {
    TZNFile read;
    ReadBytes(read, ZNBuilder().currentHeader(0).payload());
    EXPECT_EQ(read.FrameCount(), 0);
    EXPECT_THROW(read.Rate(0), EReadError);
    EXPECT_THROW(read.Icon(0), EReadError);
    ReadBytes(read, ZNBuilder().currentHeader(-5).payload());
    EXPECT_EQ(read.FrameCount(), 0);
}

// --- Files on disk ----------------------------------------------------------

using ZNFiles = TempDir;

TEST_F(ZNFiles, WritesAndReadsAFile) {
    WriteZNFile(path("a.zn"), SmallDocument());
    TZNFile read;
    Read(read, path("a.zn"));
    EXPECT_EQ(read.Title(), "a");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST_F(ZNFiles, AFirstFrameReadFailsAtAWrongHeaderWithoutInflatingOn) {
    // More frames than an animation can number, then 32 MiB the stream holds.
    const auto file = ZNBuilder().currentHeader(40000).bytes(std::vector<uint8_t>(size_t(32) << 20, 0)).compressed();
    std::ofstream(path("wrong.zn"), std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    ReadBudget budget;
    EXPECT_THROW(TZNFile().ReadFirstFrame(path("wrong.zn"), budget), EReadError);
    EXPECT_LT(budget.spent(), 100'000u);
}

TEST_F(ZNFiles, ReportsFilesThatCannotBeOpened) {
    TZNFile read;
    try {
        Read(read, path("missing.zn"));
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path("missing.zn"));
    }
    EXPECT_THROW(Read(read, m_dir.string()), EFOpenError);
}

TEST_F(ZNFiles, AFailedSaveLeavesTheOldFileAsItWas) {
    WriteZNFile(path("keep.zn"), SmallDocument());
    const auto before = ReadFileBytes(path("keep.zn"), 1 << 20);
    TDocument broken = SmallDocument();
    broken.AddFrame();
    EXPECT_THROW(WriteZNFile(path("keep.zn"), broken), EInvalidGraphic);
    EXPECT_EQ(ReadFileBytes(path("keep.zn"), 1 << 20), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ZNFiles, ReportsTargetsThatCannotBeCreated) {
    auto createError = [&](const std::string& target) {
        try {
            WriteZNFile(target, SmallDocument());
        } catch (const EFCreateError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(createError(path("no/such/folder.zn")), "Cannot create file " + path("no/such/folder.zn"));
    fs::create_directory(path("folder.zn"));
    EXPECT_EQ(createError(path("folder.zn")), "Cannot create file " + path("folder.zn"));

    WriteZNFile(path("locked.zn"), SmallDocument());
    const auto before = ReadFileBytes(path("locked.zn"), 1 << 20);
    fs::permissions(path("locked.zn"), fs::perms::owner_read | fs::perms::group_read);
    TDocument other = SmallDocument();
    other.title = "changed";
    EXPECT_EQ(createError(path("locked.zn")), "Cannot create file " + path("locked.zn"));
    EXPECT_EQ(ReadFileBytes(path("locked.zn"), 1 << 20), before);
}

TEST_F(ZNFiles, KeepsTheModeOfAReplacedFile) {
    WriteZNFile(path("m.zn"), SmallDocument());
    fs::permissions(path("m.zn"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    WriteZNFile(path("m.zn"), SmallDocument());
    EXPECT_EQ(fs::status(path("m.zn")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
}

}  // namespace
