// What a read costs in every program that reads a file: each crafted and
// each large file of tests/builders, and variants of them, through zntool,
// the tray player's load, gdk-pixbuf and Qt with our loaders installed, and
// the editor's Open, each in a child checked against 256 MiB and 2 s of CPU.
// A pipe named x.zn is refused at once by every host that opens files
// itself (gdk-pixbuf and Qt block in open() before a loader is asked).
#include <gtest/gtest.h>

// Before Qt, whose "signals" keyword GLib's headers use as a name.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <QApplication>
#include <QImageReader>

#include <malloc.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "builders/Bounded.h"
#include "builders/HostileFiles.h"
#include "builders/HostileGifs.h"
#include "tray/TrayAnimation.h"
#include "ui/FakeServices.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

namespace {

using namespace test;
namespace fs = std::filesystem;

const fs::path kFolder = fs::temp_directory_path() / ("host_limits." + std::to_string(::getpid()));
constexpr uint64_t k60MiB = uint64_t(60) << 20;

std::string Outcome(bool read, size_t longestText = 0) {
    return !read ? "refused" : longestText > kMaxTextFieldBytes ? "read, text of " + std::to_string(longestText) : "read";
}

// Stopped by timeout if it waits, which the child's own alarm would leave behind.
std::string Zntool(const std::string& arguments) {
    const int status = std::system(("timeout 10 " ZNTOOL_PATH " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) <= 1 ? Outcome(WEXITSTATUS(status) == 0) : "zntool failed";
}

std::string Tray(const std::string& path) {
    try {
        const TrayAnimation animation = TrayAnimation::Load(QString::fromStdString(path));
        return Outcome(true, size_t(std::max(animation.title.size(), animation.author.size())));
    } catch (const EZintraError&) {
        return Outcome(false);
    }
}

std::string PixbufAnimation(const std::string& path) {
    GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(path.c_str(), nullptr);
    if (animation) g_object_unref(animation);
    return Outcome(animation);
}

// As a thumbnailer asks: through the module's incremental loader.
std::string PixbufAtSize(const std::string& path) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(path.c_str(), 128, 128, nullptr);
    if (pixbuf) g_object_unref(pixbuf);
    return Outcome(pixbuf);
}

std::string Qt(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    bool read = !reader.read().isNull();
    while (read && reader.canRead()) read = !reader.read().isNull();
    return Outcome(read);
}

// The editor's Open on the real window, as the toolbar's Open runs it.
std::string EditorOpen(const std::string& path) {
    static int argc = 1;
    static char name[] = "host_limits", *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    FakeServices services;
    TFrmMain window(services);
    TFrmInformation information(window);
    TFrmPreview preview(window.Document(), &window);
    window.SetWindows(&information, &preview);
    window.show();
    window.OpenFile(QString::fromStdString(path));
    const TDocument& d = window.Document();
    size_t longest = 0;
    for (const std::string* text : {&d.title, &d.authorName, &d.copyright, &d.email, &d.homepage, &d.comments})
        longest = std::max(longest, text->size());
    return Outcome(services.messages.empty(), longest);
}

enum class Reads { Header, Frames };
struct Host {
    const char* name;
    Reads reads;
    const char* takes;  // the extensions it is handed
    bool guest;         // in a toolkit, which opens the file before asking our loader
    std::function<std::string(const std::string& path)> run;
};
const Host kHosts[] = {
    {"zntool info", Reads::Header, ".zn.ani.gif", false, [](auto& p) { return Zntool("info " + p); }},
    {"zntool info --json", Reads::Header, ".zn.ani.gif", false, [](auto& p) { return Zntool("info --json " + p); }},
    {"zntool convert to .zn", Reads::Frames, ".zn.ani.gif", false, [](auto& p) { return Zntool("convert " + p + " " + p + ".out.zn --author A"); }},
    {"zntool convert to .gif", Reads::Frames, ".zn.ani.gif", false, [](auto& p) { return Zntool("convert " + p + " " + p + ".out.gif"); }},
    {"zntool thumbnail", Reads::Frames, ".zn.ani", false, [](auto& p) { return Zntool("thumbnail " + p + " " + p + ".png"); }},
    {"tray player", Reads::Frames, ".zn.ani", false, Tray},
    {"gdk-pixbuf animation", Reads::Frames, ".zn", true, PixbufAnimation},
    {"gdk-pixbuf at size", Reads::Frames, ".zn", true, PixbufAtSize},
    {"QImageReader", Reads::Frames, ".zn", true, Qt},
    {"editor Open", Reads::Frames, ".zn.ani", false, EditorOpen},
};

struct Row {
    const char* name;
    const char* extension;
    std::function<Bytes()> build;
    const char* listed;  // what a header read makes of it
    const char* opened;  // and a read of frames
    double seconds = 2.0;  // the aim, unless a known fault needs more
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class HostLimits : public ::testing::TestWithParam<Row> {
protected:
    // Our loaders alone where gdk-pixbuf looks for loaders, and the ZN type
    // where GIO looks for types, by which gdk-pixbuf picks a loader.
    static void SetUpTestSuite() {
        fs::create_directories(kFolder / "share/mime/packages");
        fs::copy_file(ZN_MIME_PACKAGE, kFolder / "share/mime/packages/zintra-editor.xml");
        const std::string cache = kFolder / "loaders.cache";
        ASSERT_EQ(std::system(("update-mime-database " + (kFolder / "share/mime").string() + " >/dev/null 2>&1 && " +
                               PIXBUF_QUERY_LOADERS " " ZN_PIXBUF_MODULE " >" + cache).c_str()), 0);
        ::setenv("GDK_PIXBUF_MODULE_FILE", cache.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (kFolder.string() + "/share:/usr/share").c_str(), 1);
        ::setenv("QT_PLUGIN_PATH", QZN_PLUGIN_ROOT, 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static void TearDownTestSuite() { fs::remove_all(kFolder); }
};

TEST_P(HostLimits, EveryHostReadsOrRefusesWithin256MiBAnd2Seconds) {
    const Row& row = GetParam();
    const std::string path = kFolder / (std::string(row.name) + row.extension);
    if (row.build) {
        const Bytes bytes = row.build();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    } else {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    ::malloc_trim(0);  // so that each child starts no larger than the test itself
    for (const Host& host : kHosts) {
        if (std::string_view(host.takes).find(row.extension) == std::string_view::npos || (!row.build && host.guest)) continue;
        const Bounded run = RunBounded([&] { return host.run(path); });
        std::printf("| %s | %s | %ld | %.2f | %s |\n", row.name, host.name, run.peakMiB, run.cpuSeconds, run.report.c_str());
        EXPECT_EQ(run.report, host.reads == Reads::Header ? row.listed : row.opened) << host.name;
        if (!kSanitized) {
            EXPECT_LE(run.peakMiB, 256) << host.name;
            EXPECT_LE(run.cpuSeconds, row.seconds) << host.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostLimits,
    ::testing::Values(
        Row{"EmptyBlocksInAPngEntry", ".zn", [] { return EmptyBlocksInAnEntryZN(k60MiB); }, "read", "refused"},
        Row{"EmptyBlocksBeforeThePayload", ".zn", [] { return EmptyBlocksBeforeThePayloadZN(k60MiB); }, "refused", "refused"},
        Row{"CommentsOfCarriageReturns", ".zn", [] { return LongTextZN(false, std::string(k60MiB, '\r')); }, "read", "read"},
        Row{"ATitleOf60MiB", ".zn", [] { return LongTextZN(true, std::string(k60MiB, 'T')); }, "read", "read"},
        Row{"CommentsOfRandomLetters", ".zn", [] { return LongTextZN(false, RandomLetters(k60MiB), 1); }, "read", "read"},
        Row{"EightThousandSmallPngFrames", ".zn", [] { return SmallLibpngFramesZN(8000); }, "read", "read"},
        Row{"TwentyFourThousandSmallPngFrames", ".zn", [] { return SmallLibpngFramesZN(24000); }, "read", "read"},
        Row{"A64MiBPayloadOfLargePngFrames", ".zn", LargeLibpngFramesZN, "read", "read"},
        // Converted to .zn, 2.5 s of 2.7 go to writing 10 MB at zlib's level 9.
        Row{"OurOwn32767Frames", ".zn", [] { return OwnWriterZN(kMaxFrames); }, "read", "read", 3.5},
        Row{"ACursorOf2000LargePngFrames", ".ani", LargeLibpngCursor, "read", "read"},
        Row{"SmallFramesOnAWideScreen", ".gif", [] { return WrittenGif(1920, 1080, 200, 64, 64, true); }, "read", "read"},
        // Variants no other test names: the empty blocks spread over many
        // entries, in a cursor's entry, and in a first frame that 3000 more follow.
        Row{"EmptyBlocksIn32Entries", ".zn", [] { return ZNOfIcons(std::vector(32, EmptyBlocksIcon(1 << 20)), 6); }, "read", "read"},
        Row{"EmptyBlocksInACursorEntry", ".ani", [] { return CursorOfIcons({EmptyBlocksIcon(k60MiB)}); }, "read", "refused"},
        Row{"EmptyBlocksInAFirstFrameBefore3000More", ".zn", [] {
            auto icons = LibpngEntries(3000, 1, 16, [](int x, int y, int i) { return Rgba{uint8_t(Speckle(x, y, i)), 0, 0, 255}; });
            icons.insert(icons.begin(), EmptyBlocksIcon(k60MiB));
            return ZNOfIcons(icons, 6); }, "read", "refused"},
        Row{"APipe", ".zn", nullptr, "refused", "refused"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
