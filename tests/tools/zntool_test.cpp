// Runs the zntool program on files built here and reads what it writes
// back with giflib, libpng, gdk-pixbuf and the project's own readers.
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "builders/GifBuilder.h"
#include "builders/IconBuilder.h"
#include "builders/PngBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/AnimatedCursor.h"
#include "core/DocumentFile.h"
#include "formats/Fd.h"
#include "formats/RecoveryCopy.h"
#include "formats/ZNFile.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using test::Clear;
using test::Opaque;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A recognisable frame for each seed: standard colours with a few
// transparent pixels, never the same for two seeds.
IconImage Pattern(int seed) {
    return test::MakeImage(16, 16, [seed](int x, int y) {
        if ((x + 2 * y + seed) % 7 == 0) return Clear();
        return Opaque(kStandardColours[size_t((x * 3 + y + seed) % 16)]);
    });
}

TDocument Document(const std::vector<int32_t>& rates) {
    TDocument d;
    d.ClearDocument();
    d.title = "Walker";
    d.authorName = "Ann";
    d.categoryIndex = 0;
    for (size_t i = 0; i < rates.size(); ++i) d.AppendFrame(TFrameIcon::Built(Pattern(int(i))), rates[i]);
    return d;
}

// An animated cursor as drawing programs write it, its frames in true
// colour so that any colour can be stored.
std::vector<uint8_t> Cursor(const std::string& title, const std::string& creator,
                            const std::vector<IconImage>& frames, const std::vector<int32_t>& rates) {
    std::vector<test::Bytes> info, icons;
    if (!title.empty()) info.push_back(test::Chunk("INAM", test::Text(title + '\0')));
    if (!creator.empty()) info.push_back(test::Chunk("IART", test::Text(creator + '\0')));
    for (const IconImage& f : frames) icons.push_back(test::Chunk("icon", test::BuildIcon(f, 24)));
    const auto count = int32_t(frames.size());
    return test::Riff("ACON", {test::List("INFO", info), test::HeaderChunk({.frames = count, .steps = count, .rate = 6}),
                               test::Chunk("rate", test::Words(rates)), test::List("fram", icons)});
}

class ZntoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("zntool_test_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string At(const std::string& name) const { return (m_dir / name).string(); }

    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(At(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        std::streamsize(bytes.size()));
        return At(name);
    }
    std::string WriteZN(const std::string& name, const TDocument& d) const {
        WriteZNFile(At(name), d);
        return At(name);
    }

    Outcome Zntool(const std::vector<std::string>& args) const {
        const std::string out = At(".stdout"), err = At(".stderr");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> words{ZNTOOL_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        Outcome run;
        if (posix_spawn(&pid, ZNTOOL_PATH, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        run.out = Slurp(out);
        run.err = Slurp(err);
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    // Everything in the folder but the files named, to catch leftovers.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

// ---- Reading outputs back -------------------------------------------------

struct GifFrame {
    IconImage image;  // transparent pixels: alpha 0
    int delay = 0;
    int disposal = 0;
};

struct GifRead {
    int width = 0, height = 0;
    bool loopsForever = false;
    std::vector<GifFrame> frames;
};

GifRead ReadGif(const std::string& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    GifRead result;
    if (!gif) {
        ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
        return result;
    }
    EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    result.width = gif->SWidth;
    result.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        for (int b = 0; b + 1 < saved.ExtensionBlockCount; ++b) {
            const ExtensionBlock& app = saved.ExtensionBlocks[b];
            const ExtensionBlock& data = saved.ExtensionBlocks[b + 1];
            if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
                std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3)
                result.loopsForever = data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
        }
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject* map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
        GifFrame frame;
        frame.delay = control.DelayTime;
        frame.disposal = control.DisposalMode;
        frame.image.width = saved.ImageDesc.Width;
        frame.image.height = saved.ImageDesc.Height;
        for (int p = 0; p < saved.ImageDesc.Width * saved.ImageDesc.Height; ++p) {
            const int index = saved.RasterBits[p];
            if (index == control.TransparentColor) {
                frame.image.pixels.push_back(Clear());
            } else {
                const GifColorType c = map->Colors[index];
                frame.image.pixels.push_back({c.Red, c.Green, c.Blue, 255});
            }
        }
        result.frames.push_back(std::move(frame));
    }
    DGifCloseFile(gif, &error);
    return result;
}

// The whole picture as RGBA; transparent pixels read as Clear().
IconImage ReadPng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    IconImage image;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        ADD_FAILURE() << "libpng cannot read " << path << ": " << png.message;
        return image;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(png));
    EXPECT_TRUE(png_image_finish_read(&png, nullptr, buffer.data(), 0, nullptr)) << png.message;
    image.width = int(png.width);
    image.height = int(png.height);
    for (size_t p = 0; p + 3 < buffer.size(); p += 4)
        image.pixels.push_back(buffer[p + 3] == 0 ? Clear() : Rgba{buffer[p], buffer[p + 1], buffer[p + 2], buffer[p + 3]});
    return image;
}

// An animation as gdk-pixbuf plays it: one more frame than expected is
// read, so a file with extra frames shows where it should loop.
struct PixbufFrame {
    IconImage image;
    int delayMs = 0;
};

std::vector<PixbufFrame> ReadPixbufAnimation(const std::string& path, size_t expectedFrames) {
    std::vector<PixbufFrame> frames;
    GError* error = nullptr;
    GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(path.c_str(), &error);
    if (!animation) {
        ADD_FAILURE() << "gdk-pixbuf cannot read " << path << ": " << error->message;
        g_error_free(error);
        return frames;
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // the iterator's clock is a GTimeVal
    GTimeVal clock{0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &clock);
    for (size_t n = 0; n <= expectedFrames; ++n) {
        GdkPixbuf* pixbuf = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        const guchar* data = gdk_pixbuf_read_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
        PixbufFrame frame{test::MakeImage(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                                          [&](int x, int y) {
                                              const guchar* p = data + y * stride + x * channels;
                                              return channels == 4 && p[3] == 0 ? Clear() : Opaque({p[0], p[1], p[2]});
                                          }),
                          gdk_pixbuf_animation_iter_get_delay_time(iter)};
        frames.push_back(std::move(frame));
        g_time_val_add(&clock, glong(frames.back().delayMs) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &clock);
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    g_object_unref(animation);
    return frames;
}

// Pixel (x, y) of an enlarged picture shows pixel (x/scale, y/scale) of the frame.
IconImage Enlarged(const IconImage& frame, int scale) {
    return test::MakeImage(frame.width * scale, frame.height * scale,
                           [&](int x, int y) { return frame.at(x / scale, y / scale); });
}

IconImage Crop(const IconImage& image, int left, int width) {
    return test::MakeImage(width, image.height, [&](int x, int y) { return image.at(left + x, y); });
}

// ---- info -----------------------------------------------------------------

TEST_F(ZntoolTest, InfoDescribesACompressedZNFile) {
    TDocument d = Document({10, 20, 60});
    d.categoryIndex = 14;
    d.copyright = "(c) 2003 Ann";
    const std::string file = WriteZN("walk.zn", d);

    const Outcome run = Zntool({"info", file});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, file + "\n"
                       "  Layout:     current compressed\n"
                       "  Version:    3.0\n"
                       "  Title:      Walker\n"
                       "  Author:     Ann\n"
                       "  Category:   Science & Technology\n"
                       "  E-mail:\n"
                       "  Homepage:\n"
                       "  Copyright:  (c) 2003 Ann\n"
                       "  Comments:\n"
                       "  Frames:     3\n"
                       "        1  rate 10 (0.167 s)\n"
                       "        2  rate 20 (0.333 s)\n"
                       "        3  rate 60 (1 s)\n"
                       "  Total time: 1.5 s\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(ZntoolTest, InfoNamesTheUncompressedAndLegacyLayouts) {
    const auto icon = test::BuildIcon(test::SampleFrame());
    const std::string raw = WriteBytes("raw.zn", test::ZNBuilder().currentHeader(1).frame(7, icon).payload());
    const std::string legacy = WriteBytes(
        "old.zn", test::ZNBuilder().legacyHeader("1", "  318", " 5", " 2", "Oldie").bytes(icon).bytes(icon).payload());

    const Outcome run = Zntool({"info", raw, legacy});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  Layout:     current uncompressed\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  Layout:     legacy\n  Version:    1.0\n  Title:      Oldie\n"), std::string::npos);
    EXPECT_NE(run.out.find("  Category:   none\n"), std::string::npos) << "below 3.0 the category is ignored";
    EXPECT_NE(run.out.find("  Frames:     2\n        1  rate 12 (0.2 s)\n        2  rate 12 (0.2 s)\n"
                           "  Total time: 0.4 s\n"),
              std::string::npos)
        << run.out;
}

TEST_F(ZntoolTest, InfoDescribesAnAnimatedCursor) {
    const std::string file =
        WriteBytes("spin.ani", Cursor("Spinner", "Bob", {Pattern(0), Pattern(1)}, {6, 12}));

    const Outcome run = Zntool({"info", file});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, file + "\n"
                       "  Layout:     animated cursor\n"
                       "  Title:      Spinner\n"
                       "  Author:     Bob\n"
                       "  Frames:     2\n"
                       "        1  rate 6 (0.1 s)\n"
                       "        2  rate 12 (0.2 s)\n"
                       "  Total time: 0.3 s\n");
}

TEST_F(ZntoolTest, InfoShowsWhatConvertMakesOfAGifOrAStrip) {
    const std::vector<Rgb> colours{{0, 0, 0}, {255, 0, 0}};
    test::GifImage dot = test::GifRect(0, 0, 2, 2, [](int x, int) { return x; });
    dot.delay = 25;
    const std::string gif = WriteBytes("walk.gif", test::GifBuilder(2, 2, colours).comment("hi").image(dot).bytes());
    const std::string png = WriteBytes("strip.png", EncodePng(test::MakeImage(4, 2, [](int, int) { return Clear(); })));

    const Outcome run = Zntool({"info", "--rate", "9", gif, png});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, gif + "\n"
                       "  Layout:     animated GIF\n"
                       "  Title:\n"
                       "  Author:\n"
                       "  Comments:   hi\n"
                       "  Frames:     1\n"
                       "        1  rate 15 (0.25 s)\n"
                       "  Total time: 0.25 s\n"
                       "\n" + png + "\n"
                       "  Layout:     PNG strip\n"
                       "  Title:\n"
                       "  Author:\n"
                       "  Frames:     2\n"
                       "        1  rate 9 (0.15 s)\n"
                       "        2  rate 9 (0.15 s)\n"
                       "  Total time: 0.3 s\n");
}

TEST_F(ZntoolTest, InfoJsonHoldsTheSameFactsForEveryFile) {
    TDocument d = Document({10, 20});
    d.email = "ann@example.com";
    d.comments = "Say \"hi\"\r\nbye";
    const std::string zn = WriteZN("walk.zn", d);
    const std::string ani = WriteBytes("spin.ani", Cursor("Spinner", "Bob", {Pattern(0)}, {90}));

    const Outcome run = Zntool({"info", "--json", zn, ani});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "[\n"
                       "  {\n"
                       "    \"file\": \"" + zn + "\",\n"
                       "    \"layout\": \"current compressed\",\n"
                       "    \"version\": 3.0,\n"
                       "    \"title\": \"Walker\",\n"
                       "    \"author\": \"Ann\",\n"
                       "    \"category\": \"Animals\",\n"
                       "    \"email\": \"ann@example.com\",\n"
                       "    \"homepage\": \"\",\n"
                       "    \"copyright\": \"\",\n"
                       "    \"comments\": \"Say \\\"hi\\\"\\r\\nbye\",\n"
                       "    \"frameCount\": 2,\n"
                       "    \"rates\": [10, 20],\n"
                       "    \"totalSeconds\": 0.5\n"
                       "  },\n"
                       "  {\n"
                       "    \"file\": \"" + ani + "\",\n"
                       "    \"layout\": \"animated cursor\",\n"
                       "    \"version\": null,\n"
                       "    \"title\": \"Spinner\",\n"
                       "    \"author\": \"Bob\",\n"
                       "    \"category\": null,\n"
                       "    \"email\": null,\n"
                       "    \"homepage\": null,\n"
                       "    \"copyright\": null,\n"
                       "    \"comments\": null,\n"
                       "    \"frameCount\": 1,\n"
                       "    \"rates\": [90],\n"
                       "    \"totalSeconds\": 1.5\n"
                       "  }\n"
                       "]\n");
}

TEST_F(ZntoolTest, InfoShowsEightBitTextAsUtf8) {
    TDocument d = Document({10});
    d.title = "Caf\xE9 \xBD";
    d.copyright = "\xA9 2003";
    const std::string file = WriteZN("cafe.zn", d);

    const Outcome run = Zntool({"info", file});

    EXPECT_NE(run.out.find("  Title:      Caf\xC3\xA9 \xC2\xBD\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  Copyright:  \xC2\xA9 2003\n"), std::string::npos) << run.out;
}

TEST_F(ZntoolTest, InfoReportsUnreadableFilesAndDescribesTheOthers) {
    const std::string good = WriteZN("good.zn", Document({10}));
    const std::string text = WriteBytes("text.zn", {'h', 'e', 'l', 'l', 'o'});
    const std::string missing = At("missing.zn");

    const Outcome run = Zntool({"info", missing, good, text});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zntool: " + missing + ": No such file or directory\n"
                       "zntool: " + text + ": not a ZN file, or its compressed data is damaged\n");
    EXPECT_NE(run.out.find(good + "\n  Layout:     current compressed\n"), std::string::npos) << run.out;
}

// ---- convert to ZN ----------------------------------------------------------

TEST_F(ZntoolTest, ZNToZNKeepsEveryFieldFrameAndRate) {
    TDocument d = Document({10, 20, 30});
    d.categoryIndex = 3;
    d.email = "~x";
    d.homepage = "http://example.com";
    d.comments = "Hello";
    const std::string in = WriteZN("in.zn", d);

    const Outcome run = Zntool({"convert", in, At("out.zn")});

    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "one file converted: no progress lines";
    TZNFile out;
    ReadBudget budget; out.Read(At("out.zn"), budget);
    EXPECT_EQ(out.Layout(), ZNLayout::Compressed);
    EXPECT_EQ(out.Title(), "Walker");
    EXPECT_EQ(out.AuthorName(), "Ann");
    EXPECT_EQ(out.Category(), 3);
    EXPECT_EQ(out.Email(), "~x");
    EXPECT_EQ(out.Homepage(), "http://example.com");
    EXPECT_EQ(out.Comments(), "Hello");
    ASSERT_EQ(out.FrameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out.Rate(i), 10 * (i + 1));
        EXPECT_EQ(test::Decoded(out.Icon(i)), Pattern(i)) << "frame " << i;
    }
    EXPECT_EQ(Slurp(At("out.zn")), Slurp(in)) << "the same document through the same writer";
}

TEST_F(ZntoolTest, FieldOptionsSetTheZNFields) {
    const std::string in = WriteZN("in.zn", Document({10}));

    const Outcome run = Zntool({"convert", in, At("out.zn"), "--title", "Caf\xC3\xA9", "--author=Zoe",
                            "--category", "tv & movies", "--email", "", "--homepage", "h", "--copyright",
                            "\xC2\xA9 Zoe", "--comments", "c"});

    ASSERT_EQ(run.status, 0) << run.err;
    TZNFile out;
    ReadBudget budget; out.Read(At("out.zn"), budget);
    EXPECT_EQ(out.Title(), "Caf\xE9") << "stored as 8-bit text";
    EXPECT_EQ(out.AuthorName(), "Zoe");
    EXPECT_EQ(out.Category(), 15);
    EXPECT_EQ(out.Email(), "~x") << "an empty field is stored as the marker";
    EXPECT_EQ(out.Homepage(), "h");
    EXPECT_EQ(out.Copyright(), "\xA9 Zoe");
    EXPECT_EQ(out.Comments(), "c");
}

TEST_F(ZntoolTest, CursorToZNIsTheEditorsImport) {
    // An off-palette colour is reduced as the editor's import does.
    const IconImage frame = test::MakeImage(16, 16, [](int x, int) {
        return x < 4 ? Clear() : Opaque({250, 10, 10});
    });
    const std::string in = WriteBytes("c.ani", Cursor("Spinner", "Bob", {frame, Pattern(1)}, {6, 12}));

    const Outcome run = Zntool({"convert", in, At("c.zn")});

    ASSERT_EQ(run.status, 0) << run.err;
    TZNFile out;
    ReadBudget budget; out.Read(At("c.zn"), budget);
    EXPECT_EQ(out.Title(), "Spinner");
    EXPECT_EQ(out.AuthorName(), "Bob");
    EXPECT_EQ(out.Category(), kNoCategory);
    ASSERT_EQ(out.FrameCount(), 2);
    EXPECT_EQ(out.Rate(0), 6);
    EXPECT_EQ(out.Rate(1), 12);
    EXPECT_EQ(test::Decoded(out.Icon(0)), test::MakeImage(16, 16, [](int x, int) {
        return x < 4 ? Clear() : Opaque(kStandardColours[kRed]);
    }));
    EXPECT_EQ(test::Decoded(out.Icon(1)), Pattern(1));
}

TEST_F(ZntoolTest, ZNOutputNeedsATitleAndAnAuthorName) {
    const std::string in = WriteBytes("c.ani", Cursor("", "", {Pattern(0)}, {6}));

    const Outcome none = Zntool({"convert", in, At("c.zn"), "--title", ""});
    const Outcome noAuthor = Zntool({"convert", in, At("c.zn")});
    const Outcome noTitle = Zntool({"convert", in, At("c.zn"), "--title=", "--author", "A"});

    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "zntool: " + in + ": a ZN file needs a title and an author name; "
                        "give them with --title and --author\n");
    EXPECT_EQ(noAuthor.err, "zntool: " + in + ": a ZN file needs an author name; give one with --author\n");
    EXPECT_EQ(noTitle.err, "zntool: " + in + ": a ZN file needs a title; give one with --title\n");
    EXPECT_FALSE(fs::exists(At("c.zn")));
}

TEST_F(ZntoolTest, ZNOutputTakesWhatTheEditorWouldSave) {
    // The editor's Save asks only for a title or an author name of zero length.
    TDocument d = Document({10});
    d.title = " ";
    d.authorName = " ";
    const std::string in = WriteZN("spaces.zn", d);

    const Outcome run = Zntool({"convert", in, At("out.zn")});

    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(At("out.zn")), Slurp(in));
}

TEST_F(ZntoolTest, LegacyZNBecomesACurrentFileWithItsOneRate) {
    const auto icon = test::BuildIcon(test::SampleFrame());
    const std::string in = WriteBytes(
        "old.zn", test::ZNBuilder().legacyHeader("1", "  318", " 3", " 2", "Oldie").bytes(icon).bytes(icon).payload());

    const Outcome run = Zntool({"convert", in, At("new.zn"), "--author", "Ann"});

    ASSERT_EQ(run.status, 0) << run.err;
    TZNFile out;
    ReadBudget budget; out.Read(At("new.zn"), budget);
    EXPECT_EQ(out.Version(), 3.0);
    EXPECT_EQ(out.Title(), "Oldie");
    EXPECT_EQ(out.Category(), kNoCategory);
    ASSERT_EQ(out.FrameCount(), 2);
    EXPECT_EQ(out.Rate(0), 6);
    EXPECT_EQ(out.Rate(1), 6);
}

// ---- convert to GIF ---------------------------------------------------------

TEST_F(ZntoolTest, GifHasEveryFrameWithItsDelayAndTransparency) {
    const std::string in = WriteZN("in.zn", Document({10, 20, 1, 3, 0, 40000}));

    const Outcome run = Zntool({"convert", in, At("out.gif")});

    ASSERT_EQ(run.status, 0) << run.err;
    const GifRead gif = ReadGif(At("out.gif"));
    EXPECT_EQ(gif.width, 16);
    EXPECT_EQ(gif.height, 16);
    EXPECT_TRUE(gif.loopsForever);
    ASSERT_EQ(gif.frames.size(), 6u);
    // 1/60 s to 1/100 s, rounded; a rate below 1 shows as 1, and GIF holds 16 bits.
    const int delays[] = {17, 33, 2, 5, 2, 65535};
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        EXPECT_EQ(gif.frames[i].delay, delays[i]) << "frame " << i;
        EXPECT_EQ(gif.frames[i].disposal, DISPOSE_BACKGROUND) << "no frame shows through the next";
        EXPECT_EQ(gif.frames[i].image, Pattern(int(i))) << "frame " << i;
    }
}

TEST_F(ZntoolTest, GifScaleEnlargesByPixelReplication) {
    const std::string in = WriteZN("in.zn", Document({10, 10}));

    const Outcome run = Zntool({"convert", "--scale", "3", in, At("big.gif")});

    ASSERT_EQ(run.status, 0) << run.err;
    const GifRead gif = ReadGif(At("big.gif"));
    EXPECT_EQ(gif.width, 48);
    ASSERT_EQ(gif.frames.size(), 2u);
    EXPECT_EQ(gif.frames[0].image, Enlarged(Pattern(0), 3));
    EXPECT_EQ(gif.frames[1].image, Enlarged(Pattern(1), 3));
}

// ---- convert to PNG ---------------------------------------------------------

TEST_F(ZntoolTest, PngIsAStripOfAllFramesLeftToRight) {
    const std::string in = WriteZN("in.zn", Document({10, 20, 30}));

    const Outcome run = Zntool({"convert", in, At("strip.png")});

    ASSERT_EQ(run.status, 0) << run.err;
    const IconImage strip = ReadPng(At("strip.png"));
    ASSERT_EQ(strip.width, 48);
    ASSERT_EQ(strip.height, 16);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Crop(strip, 16 * i, 16), Pattern(i)) << "frame " << i;
}

TEST_F(ZntoolTest, PngScaleEnlargesEveryFrame) {
    const std::string in = WriteZN("in.zn", Document({10, 20}));

    const Outcome run = Zntool({"convert", in, At("strip.png"), "--scale=2"});

    ASSERT_EQ(run.status, 0) << run.err;
    const IconImage strip = ReadPng(At("strip.png"));
    ASSERT_EQ(strip.width, 64);
    ASSERT_EQ(strip.height, 32);
    EXPECT_EQ(Crop(strip, 0, 32), Enlarged(Pattern(0), 2));
    EXPECT_EQ(Crop(strip, 32, 32), Enlarged(Pattern(1), 2));
}

// ---- thumbnail --------------------------------------------------------------

TEST_F(ZntoolTest, ThumbnailIsTheFirstFrameAtTheLargestMultipleOf16) {
    const std::string in = WriteZN("in.zn", Document({10, 20}));
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{}, 8}, {{"--size", "100"}, 6}, {{"--size=16"}, 1}, {{"--size", "31"}, 1}, {{"--size", "5000"}, 64},
    };
    for (const auto& [options, scale] : cases) {
        std::vector<std::string> args{"thumbnail", in, At("thumb.png")};
        args.insert(args.end(), options.begin(), options.end());
        const Outcome run = Zntool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadPng(At("thumb.png")), Enlarged(Pattern(0), scale)) << "scale " << scale;
    }
}

TEST_F(ZntoolTest, ThumbnailReadsCursorsByNameAndAnythingElseAsZN) {
    const std::string cursor = WriteBytes("spin.ani", Cursor("Spin", "", {Pattern(3), Pattern(4)}, {5, 5}));
    const std::string unnamed = WriteBytes("copy-of-file", EncodeZNFile(Document({10})));
    ASSERT_EQ(Zntool({"thumbnail", cursor, At("a.png"), "--size", "16"}).status, 0);
    ASSERT_EQ(Zntool({"thumbnail", unnamed, At("b.png"), "--size", "16"}).status, 0);
    EXPECT_EQ(ReadPng(At("a.png")), Pattern(3));
    EXPECT_EQ(ReadPng(At("b.png")), Pattern(0));
}

TEST_F(ZntoolTest, ThumbnailOfABadFileFailsAndWritesNothing) {
    const std::string bad = WriteBytes("bad.zn", test::Text("ZNFIL but nothing more"));
    for (const std::string& in : {bad, At("missing.zn"), WriteBytes("noframes.zn", test::ZNBuilder().currentHeader(0).compressed())}) {
        const Outcome run = Zntool({"thumbnail", in, At("thumb.png")});
        EXPECT_EQ(run.status, 1) << in;
        EXPECT_EQ(run.err.rfind("zntool: " + in + ": ", 0), 0u) << run.err;
    }
    EXPECT_FALSE(fs::exists(At("thumb.png")));
}

// ---- convert to ANI ---------------------------------------------------------

TEST_F(ZntoolTest, CursorReadsBackToTheSameFramesAndRates) {
    const std::string in = WriteZN("in.zn", Document({10, 20, 7}));

    const Outcome run = Zntool({"convert", in, At("out.ani"), "--title", "Renamed"});

    ASSERT_EQ(run.status, 0) << run.err;
    TAnimatedCursorImage cursor;
    ReadBudget budget; cursor.ReadCursorFile(At("out.ani"), budget);
    EXPECT_EQ(cursor.Title(), "Renamed");
    EXPECT_EQ(cursor.Creator(), "Ann");
    ASSERT_EQ(cursor.FrameCount(), 3);
    const TDocument imported = LoadAnimation(At("out.ani"), budget);
    ASSERT_EQ(imported.Count(), 3);
    const int32_t rates[] = {10, 20, 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cursor.FrameRate(i), rates[i]);
        EXPECT_EQ(imported.FrameAt(i + 1).rate, cursor.FrameRate(i));
        EXPECT_EQ(imported.FrameAt(i + 1).icon->image(), Pattern(i)) << "frame " << i;
    }
    EXPECT_EQ(imported.title, "Renamed");
}

TEST_F(ZntoolTest, CursorPlaysInGdkPixbuf) {
    const std::string in = WriteZN("in.zn", Document({10, 20, 7}));

    ASSERT_EQ(Zntool({"convert", in, At("out.ani")}).status, 0);

    const auto frames = ReadPixbufAnimation(At("out.ani"), 3);
    ASSERT_EQ(frames.size(), 4u);
    const int delays[] = {166, 333, 116};  // 1/60 s to milliseconds
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[size_t(i)].delayMs, delays[i]) << "frame " << i;
        EXPECT_EQ(frames[size_t(i)].image, Pattern(i)) << "frame " << i;
    }
    EXPECT_EQ(frames[3].image, Pattern(0)) << "three frames, then the loop starts again";
}

// ---- GIF and PNG strip input ------------------------------------------------

TEST_F(ZntoolTest, GifAndPngStripsComeBackAsTheSameFrames) {
    const std::vector<int32_t> rates{10, 20, 1, 7, 33, 32736};
    const std::string in = WriteZN("in.zn", Document(rates));
    ASSERT_EQ(Zntool({"convert", in, At("walk.gif"), "--scale", "3"}).status, 0);
    ASSERT_EQ(Zntool({"convert", in, At("strip.png"), "--scale", "2"}).status, 0);

    const Outcome gif = Zntool({"convert", At("walk.gif"), At("walk.zn"), "--author", "Ann"});
    const Outcome png = Zntool({"convert", "--to", "zn", "--author", "Ann", "--rate", "7", At("strip.png"), "-o", At("out")});

    ASSERT_EQ(gif.status, 0) << gif.err;
    ASSERT_EQ(png.status, 0) << png.err;
    ReadBudget gifBudget, pngBudget;
    const TDocument fromGif = LoadAnimation(At("walk.zn"), gifBudget);
    const TDocument fromPng = LoadAnimation(At("out/strip.zn"), pngBudget);
    EXPECT_EQ(fromGif.title, "walk") << "titled after the file";
    EXPECT_EQ(fromPng.title, "strip");
    ASSERT_EQ(fromGif.Count(), 6);
    ASSERT_EQ(fromPng.Count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fromGif.FrameAt(i + 1).icon->image(), Pattern(i)) << "frame " << i;
        EXPECT_EQ(fromPng.FrameAt(i + 1).icon->image(), Pattern(i)) << "frame " << i;
        EXPECT_NEAR(fromGif.FrameAt(i + 1).rate, rates[size_t(i)], 1) << "through 1/100 s and back";
        EXPECT_EQ(fromPng.FrameAt(i + 1).rate, 7);
    }
}

TEST_F(ZntoolTest, UnreadablePicturesAreNamedAndLeaveNoOutput) {
    const std::vector<Rgb> colours{{0, 0, 0}, {255, 0, 0}};
    const auto dot = test::GifRect(0, 0, 1, 1, [](int, int) { return 1; });
    test::GifBuilder manyFrames(1, 1, colours);
    for (int i = 0; i <= 32767; ++i) manyFrames.image(dot);
    const auto checks = test::GifRect(0, 0, 8, 8, [](int x, int y) { return (x ^ y) & 1; });
    std::vector<uint8_t> truncated = test::GifBuilder(8, 8, colours).image(checks).bytes(), damaged = truncated;
    truncated.resize(truncated.size() - 6);
    // The last codes before the block terminator and the trailer.
    std::fill(damaged.end() - 8, damaged.end() - 2, 0xFF);
    const std::vector<std::tuple<std::string, std::vector<uint8_t>, std::string>> cases{
        {"text.gif", {'h', 'e', 'l', 'l', 'o', '!', '!'}, "not a GIF file"},
        {"wide.gif", test::GifBuilder(4097, 16, colours).image(dot).bytes(),
         "the GIF's logical screen is 4097×16 pixels; at most 4096×4096 are read"},
        {"frames.gif", manyFrames.bytes(), "the GIF has more than 32767 frames"},
        {"cut.gif", truncated, "the GIF ends early, in frame 1"},
        {"lzw.gif", damaged, "damaged GIF, in frame 1: Image is defective, decoding aborted"},
        {"text.png", {'h', 'e', 'l', 'l', 'o'}, "not a PNG file"},
        {"shape.png", EncodePng(test::MakeImage(30, 20, [](int, int) { return Clear(); })),
         "a PNG strip holds square frames side by side, so its width must be a whole multiple of its height; "
         "this picture is 30×20"},
        {"long.png", EncodePng(test::MakeImage(32768, 1, [](int, int) { return Clear(); })),
         "the strip has more than 32767 frames"},
    };
    for (const auto& [name, bytes, message] : cases) {
        const Outcome run = Zntool({"convert", WriteBytes(name, bytes), At("out.zn"), "--author", "A"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_EQ(run.err, "zntool: " + At(name) + ": " + message + "\n");
        EXPECT_FALSE(fs::exists(At("out.zn"))) << name;
    }
}

// ---- several inputs ---------------------------------------------------------

TEST_F(ZntoolTest, SeveralInputsGoIntoTheFolderWithProgress) {
    const std::string a = WriteZN("a.zn", Document({10}));
    const std::string b = WriteBytes("b.ANI", Cursor("B", "Bob", {Pattern(2)}, {6}));

    const Outcome run = Zntool({"convert", "--to", "gif", a, b, "-o", At("out")});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "[1/2] " + a + " -> " + At("out/a.gif") + "\n"
                       "[2/2] " + b + " -> " + At("out/b.gif") + "\n");
    EXPECT_EQ(ReadGif(At("out/a.gif")).frames.at(0).image, Pattern(0));
    EXPECT_EQ(ReadGif(At("out/b.gif")).frames.at(0).image, Pattern(2));
}

TEST_F(ZntoolTest, AnUntitledInputIsNamedAfterItsFile) {
    const std::string untitled = WriteBytes("Caf\xC3\xA9 v2.1.ani", Cursor("", "", {Pattern(0)}, {6}));
    const std::string titled = WriteBytes("b.ani", Cursor("Spinner", "", {Pattern(1)}, {6}));

    const Outcome run = Zntool({"convert", "--to", "zn", "--author", "Ann", untitled, titled, "-o", At("zn")});

    ASSERT_EQ(run.status, 0) << run.err;
    TZNFile a, b;
    ReadBudget budget; a.Read(At("zn/Caf\xC3\xA9 v2.1.zn"), budget);
    b.Read(At("zn/b.zn"), budget);
    EXPECT_EQ(a.Title(), "Caf\xE9 v2.1") << "as 8-bit text";
    EXPECT_EQ(b.Title(), "Spinner");
}

TEST_F(ZntoolTest, ABadInputDoesNotStopTheOthers) {
    const std::string bad = WriteBytes("bad.ani", {'R', 'I', 'F', 'F'});
    const std::string good = WriteBytes("good.ani", Cursor("G", "Gil", {Pattern(1)}, {6}));

    const Outcome run = Zntool({"convert", "--to", "zn", bad, good, "-o", At("out")});

    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("zntool: " + bad + ": Stream read error\n"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(At("out/bad.zn")));
    EXPECT_TRUE(fs::exists(At("out/good.zn")));
}

// ---- wrong usage ------------------------------------------------------------

TEST_F(ZntoolTest, HelpDescribesTheCommands) {
    const Outcome run = Zntool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage:\n  zntool info [--json] [--rate N] FILE...\n", 0), 0u) << run.out;
    EXPECT_EQ(Zntool({"convert", "--help"}).out, run.out);
}

TEST_F(ZntoolTest, WrongUsageExitsWithStatusTwoAndTouchesNothing) {
    const std::string in = WriteZN("in.zn", Document({10}));
    const std::string out = At("out.gif");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no command given"},
        {{"play", in}, "unknown command 'play'"},
        {{"info"}, "info needs at least one file"},
        {{"info", "--verbose", in}, "unknown option '--verbose'"},
        {{"info", "--scale", "2", in}, "'--scale' is not an option of info"},
        {{"info", At("x.txt")}, "'" + At("x.txt") + "' is not a .zn, .ani, .gif or .png file"},
        {{"info", "--rate", "5", in}, "'--rate' applies only to .png strip input"},
        {{"convert", in}, "convert needs an input file and an output file"},
        {{"convert", in, in, out}, "several inputs need --to FORMAT and -o DIR"},
        {{"convert", in, At("out.bmp")}, "'" + At("out.bmp") + "': the output must end in .zn, .gif, .png or .ani"},
        {{"convert", in, out, "--scale"}, "option '--scale' needs a value"},
        {{"convert", in, out, "--scale", "0"}, "--scale must be a whole number from 1 to 64"},
        {{"convert", in, out, "--scale", "65"}, "--scale must be a whole number from 1 to 64"},
        {{"convert", in, out, "--scale", "2x"}, "--scale must be a whole number from 1 to 64"},
        {{"convert", in, out, "--json"}, "'--json' is not an option of convert"},
        {{"convert", in, out, "--title", "T"}, "'--title' does not apply to a GIF"},
        {{"convert", in, At("o.ani"), "--email", "e"}, "'--email' does not apply to an animated cursor"},
        {{"convert", in, At("o.zn"), "--scale", "2"}, "'--scale' does not apply to a ZN file"},
        {{"convert", in, At("o.zn"), "--category", "Dogs"},
         "unknown category 'Dogs'; the categories are Animals, Cartoons, Food, Games, Holidays, Misc, "
         "Objects, Patterns, People, Places, Planets, Plants, Sports, Symbols, Science & Technology, "
         "TV & Movies (or none)"},
        {{"convert", in, At("o.zn"), "--title", "\xE2\x98\x83"},
         "--title: '\xE2\x98\x83' holds a character an animation cannot store"},
        {{"convert", in, At("o.zn"), "--title", std::string(256, 'x')}, "--title: at most 255 characters"},
        {{"convert", "--to", "gif", in}, "--to FORMAT needs -o DIR"},
        {{"convert", in, "-o", At("d")}, "-o DIR needs --to FORMAT"},
        {{"convert", "--to", "bmp", in, "-o", At("d")}, "unknown format 'bmp'; use zn, gif, png or ani"},
        {{"convert", "--to", "gif", in, At("x.txt"), "-o", At("d")},
         "'" + At("x.txt") + "' is not a .zn, .ani, .gif or .png file"},
        {{"convert", in, out, "--rate", "5"}, "'--rate' applies only to .png strip input"},
        {{"convert", At("s.png"), At("o.zn"), "--rate", "0"}, "--rate must be a whole number from 1 to 32736"},
        {{"thumbnail", in}, "thumbnail needs an input file and an output file"},
        {{"thumbnail", in, out, "--size", "8"}, "--size must be a whole number of pixels, at least 16"},
        {{"thumbnail", in, out, "--size", "big"}, "--size must be a whole number of pixels, at least 16"},
        {{"thumbnail", in, out, "--scale", "2"}, "'--scale' is not an option of thumbnail"},
        {{"convert", in, out, "--size", "32"}, "'--size' is not an option of convert"},
        {{"convert", "--to", "gif", in, At("sub/in.ani"), "-o", At("d")},
         "'" + in + "' and '" + At("sub/in.ani") + "' would both be written to '" + At("d/in.gif") + "'"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome run = Zntool(args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.err, "zntool: " + message + "\nTry 'zntool --help' for more information.\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.zn"}) << "no output of any kind";
}

// ---- unreadable inputs and unwritable outputs -------------------------------

TEST_F(ZntoolTest, AnUnreadableInputLeavesTheOutputAsItWas) {
    std::ofstream(At("out.gif")) << "keep me";
    fs::create_directory(At("folder.zn"));

    const Outcome missing = Zntool({"convert", At("missing.zn"), At("out.gif")});
    const Outcome folder = Zntool({"convert", At("folder.zn"), At("out.gif")});
    const Outcome notZN = Zntool({"convert", WriteBytes("text.zn", {'Z', 'X', 'Y'}), At("out.gif")});

    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zntool: " + At("missing.zn") + ": No such file or directory\n");
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "zntool: " + At("folder.zn") + ": Is a directory\n");
    EXPECT_EQ(notZN.status, 1);
    EXPECT_EQ(notZN.err, "zntool: " + At("text.zn") + ": not a ZN file, or its compressed data is damaged\n");
    EXPECT_EQ(Slurp(At("out.gif")), "keep me");
}

TEST_F(ZntoolTest, AnUnwritableOutputIsNamedAndLeavesNoFile) {
    const std::string in = WriteZN("in.zn", Document({10}));
    std::ofstream(At("plain")) << "a file, not a folder";
    fs::create_directory(At("taken.png"));

    const Outcome noFolder = Zntool({"convert", in, At("nowhere/out.png")});
    const Outcome notFolder = Zntool({"convert", in, At("plain/out.png")});
    const Outcome isFolder = Zntool({"convert", in, At("taken.png")});

    EXPECT_EQ(noFolder.status, 1);
    EXPECT_EQ(noFolder.err, "zntool: " + At("nowhere/out.png") + ": No such file or directory\n");
    EXPECT_EQ(notFolder.status, 1);
    EXPECT_EQ(notFolder.err, "zntool: " + At("plain/out.png") + ": Not a directory\n");
    EXPECT_EQ(isFolder.status, 1);
    EXPECT_EQ(isFolder.err, "zntool: " + At("taken.png") + ": Is a directory\n");
    EXPECT_TRUE(fs::is_empty(At("taken.png")));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.zn", "plain", "taken.png"})) << "no partial or temporary file";
}

TEST_F(ZntoolTest, AnOutputThroughASymlinkWritesTheLinkedFileAndKeepsTheLink) {
    const std::string in = WriteZN("in.zn", Document({10}));
    std::ofstream(At("real.zn")) << "old";
    fs::create_symlink("real.zn", At("link.zn"));

    ASSERT_EQ(Zntool({"convert", in, At("link.zn")}).status, 0);
    EXPECT_TRUE(fs::is_symlink(At("link.zn")));
    EXPECT_EQ(Slurp(At("real.zn")), Slurp(in));
}

TEST_F(ZntoolTest, AnOutputFolderThatCannotBeMadeFailsEveryInput) {
    const std::string in = WriteZN("in.zn", Document({10}));
    std::ofstream(At("plain")) << "a file, not a folder";

    const Outcome run = Zntool({"convert", "--to", "png", in, "-o", At("plain/out")});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("zntool: " + At("plain/out") + ": ", 0), 0u) << run.err;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.zn", "plain"}));
}

// ---- recovery copies and files in use ---------------------------------------

// A torn file's failure names the copy a save cut short left beside it;
// the copy reads by its own name, and converting it over the file (which
// keeps its other name) recovers it and removes the copy.
TEST_F(ZntoolTest, ATornFileNamesItsRecoveryCopyWhichRecoversIt) {
    std::vector<uint8_t> torn = EncodeZNFile(Document({10, 20, 30}));
    std::fill(torn.begin() + std::ptrdiff_t(torn.size() / 2), torn.end(), 0);
    const std::string target = WriteBytes("target.zn", torn);
    fs::create_hard_link(target, At("other.zn"));
    const std::string copy = WriteZN(RecoveryCopyName(*IdentityOf(AT_FDCWD, target), 1, "target.zn"), Document({10}));
    const std::string recovered = Slurp(copy);

    const Outcome info = Zntool({"info", target});
    const Outcome recover = Zntool({"convert", copy, target});

    EXPECT_EQ(info.err, "zntool: " + target + ": not a ZN file, or its compressed data is damaged; a save cut short "
                        "left a recovery copy: " + copy + "\n");
    EXPECT_EQ(recover.status, 0);
    EXPECT_EQ(recover.err, "zntool: " + target + ": removed the recovery copy " + copy +
                               ", which an earlier save cut short had left\n");
    EXPECT_EQ(Slurp(At("other.zn")), recovered);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"other.zn", "target.zn"}));
}

TEST_F(ZntoolTest, AnOutputAnotherProgramHoldsIsLeftAsItWas) {
    const std::string in = WriteZN("in.zn", Document({10}));
    const std::string out = WriteBytes("out.zn", {'o', 'l', 'd'});
    fs::create_hard_link(out, At("other.zn"));
    const Fd reader(::open(out.c_str(), O_RDONLY | O_CLOEXEC));
    struct flock shared{};
    shared.l_type = F_RDLCK;
    ASSERT_EQ(::fcntl(reader.get(), F_SETLK, &shared), 0);

    const Outcome run = Zntool({"convert", in, out});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zntool: " + out + ": in use by another program, which holds a lock on it; left as it was\n");
    EXPECT_EQ(Slurp(out), "old");
}

}  // namespace
