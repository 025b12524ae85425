// The gdk-pixbuf loader module for ZN files. gdk-pixbuf finds it through
// its loaders cache and calls fill_info to learn what it reads and
// fill_vtable for its entry points: whole files from a FILE*, and
// incremental loading. A ZN file is one zlib stream, so the incremental
// loader gathers the bytes; as soon as they hold the first frame it gives
// the size and hands over a pixbuf in area-prepared, fills it and announces
// it with area-updated, as gdk-pixbuf's own loaders do, and any frames not
// yet read join the animation once the last byte is in. A caller that asks
// for the size alone (gdk_pixbuf_get_file_info, which writes 4 KiB at a
// time) gets it for the cost of reading that much and one frame.
// Every read goes through the hosts' one boundary (core/HostRead.h); no
// exception leaves the module and nothing is printed.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "imageformats/pixbuf/ZNPixbufAnimation.h"

namespace {

void SetError(GError** error, const HostFailure& failure) {
    using Kind = HostFailure::Kind;
    const GdkPixbufError code = failure.kind == Kind::Damaged       ? GDK_PIXBUF_ERROR_CORRUPT_IMAGE
                                : failure.kind == Kind::OutOfMemory ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY
                                                                    : GDK_PIXBUF_ERROR_FAILED;
    // The cause is UTF-8, as GError's messages must be.
    g_set_error(error, GDK_PIXBUF_ERROR, code, "Cannot read this ZN file: %s", failure.cause.c_str());
}

void SetOutOfMemory(GError** error) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "Not enough memory to read this ZN file");
}

// What was read, or null with the error set.
std::unique_ptr<ZNImageFrames> Frames(std::span<const uint8_t> bytes, HostExtent extent, GError** error,
                                      ReadBudget* budget = nullptr) {
    HostRead read = ReadForHost(bytes, {HostFormat::ZN, extent, kNewFrameRate, budget});
    if (!read.animation) {
        SetError(error, read.failure);
        return nullptr;
    }
    return std::make_unique<ZNImageFrames>(std::move(read.animation->document));
}

// A file's bytes from where it stands: in one step when its size is known.
std::optional<std::vector<uint8_t>> ReadFile(FILE* file, GError** error) {
    std::vector<uint8_t> bytes;
    struct stat info{};
    const long at = std::ftell(file);
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && at >= 0 && at <= info.st_size) {
        const auto left = uint64_t(info.st_size - at);
        if (const auto failure = CheckHostSize(left, HostFormat::ZN)) {
            SetError(error, *failure);
            return std::nullopt;
        }
        bytes.resize(size_t(left));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    } else {
        uint8_t chunk[65536];
        while (const size_t got = std::fread(chunk, 1, sizeof chunk, file)) {
            if (const auto failure = GatherHostBytes(bytes, {chunk, got})) {
                SetError(error, *failure);
                return std::nullopt;
            }
        }
    }
    if (std::ferror(file)) {
        SetError(error, {HostFailure::Kind::CannotOpen, "Stream read error", "the file could not be read"});
        return std::nullopt;
    }
    return bytes;
}

// Runs work; any exception is memory that ran out.
template <typename Work>
auto Guarded(GError** error, Work work) -> decltype(work()) {
    try {
        return work();
    } catch (...) {
        SetOutOfMemory(error);
        return {};
    }
}

GdkPixbufAnimation* Animation(const ZNImageFrames& frames) {
    GdkPixbufAnimation* animation = NewZNPixbufAnimation();
    if (!animation) throw std::bad_alloc();
    FillZNPixbuf(ZNPixbufFirstFrame(animation), frames.image(0));
    if (!SetZNPixbufFrames(animation, frames, true)) {
        g_object_unref(animation);
        throw std::bad_alloc();
    }
    return animation;
}

GdkPixbufAnimation* LoadAnimation(FILE* file, GError** error) {
    return Guarded(error, [&]() -> GdkPixbufAnimation* {
        const auto bytes = ReadFile(file, error);
        const auto frames = bytes ? Frames(*bytes, HostExtent::Whole, error) : nullptr;
        return frames ? Animation(*frames) : nullptr;
    });
}

// The still image is the first frame, and only what it needs is read.
GdkPixbuf* Load(FILE* file, GError** error) {
    return Guarded(error, [&]() -> GdkPixbuf* {
        const auto bytes = ReadFile(file, error);
        const auto frames = bytes ? Frames(*bytes, HostExtent::FirstFrame, error) : nullptr;
        if (!frames) return nullptr;
        GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kFrameSize, kFrameSize);
        if (!pixbuf) throw std::bad_alloc();
        FillZNPixbuf(pixbuf, frames->image(0));
        return pixbuf;
    });
}

struct LoadContext {
    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    std::vector<uint8_t> bytes;
    size_t triedAt = 0;                       // bytes gathered at the last look
    size_t wholeAt = SIZE_MAX;                // bytes that were read whole at a look
    GdkPixbufAnimation* animation = nullptr;  // from area-prepared on
    bool sizeOnly = false;                    // the caller asked for the size alone
    bool failed = false;                      // a write failed: nothing more is read or decoded
    // Every look and the last read are one read: a file whose looks fail at
    // a cost cannot cost that again at each doubling.
    ReadBudget budget{};

    ~LoadContext() {
        if (animation) g_object_unref(animation);
    }

    // Gives the size, then, unless the size was all that was wanted, hands
    // over the first pixbuf, fills it and says so.
    void Announce(const ZNImageFrames& frames, bool loaded) {
        int width = kFrameSize, height = kFrameSize;
        if (sizeFunc) sizeFunc(&width, &height, userData);
        if (width <= 0 || height <= 0) {
            sizeOnly = true;
            return;
        }
        animation = NewZNPixbufAnimation();
        if (!animation || !SetZNPixbufFrames(animation, frames, loaded)) throw std::bad_alloc();
        GdkPixbuf* first = ZNPixbufFirstFrame(animation);
        if (preparedFunc) preparedFunc(first, animation, userData);
        FillZNPixbuf(first, frames.image(0));
        if (updatedFunc) updatedFunc(first, 0, 0, kFrameSize, kFrameSize, userData);
    }

    // Reads the bytes so far, each time they have doubled, so a file is
    // read a bounded number of times whatever the pieces it comes in: the
    // whole file when they hold it (a small file comes in one piece), else
    // the first frame. Until that is there nothing is said: a failure here
    // may be bytes still to come, and the last word is stop_load's.
    void Look() {
        if (animation || sizeOnly || bytes.size() < 2 * triedAt) return;
        triedAt = bytes.size();
        HostRead read = ReadForHost(bytes, {HostFormat::ZN, HostExtent::Whole, kNewFrameRate, &budget});
        if (read.animation) wholeAt = bytes.size();
        else read = ReadForHost(bytes, {HostFormat::ZN, HostExtent::FirstFrame, kNewFrameRate, &budget});
        if (read.animation) Announce(ZNImageFrames(std::move(read.animation->document)), false);
    }
};

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError** error) {
    return Guarded(error, [&] { return new LoadContext{sizeFunc, preparedFunc, updatedFunc, userData, {}}; });
}

gboolean LoadIncrement(gpointer data, const guchar* bytes, guint size, GError** error) {
    auto& context = *static_cast<LoadContext*>(data);
    if (context.failed) return FALSE;
    if (context.sizeOnly) return TRUE;  // nothing more is needed
    if (const auto failure = GatherHostBytes(context.bytes, {bytes, size})) {
        context.failed = true;
        context.bytes = {};
        SetError(error, *failure);
        return FALSE;
    }
    context.failed = !Guarded(error, [&] {
        context.Look();
        return true;
    });
    return !context.failed;
}

gboolean StopLoad(gpointer data, GError** error) {
    const std::unique_ptr<LoadContext> context(static_cast<LoadContext*>(data));
    // Whatever happens now, no more frames join what was announced.
    if (context->animation) EndZNPixbufLoading(context->animation);
    if (context->failed) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "Cannot read this ZN file");
        return FALSE;
    }
    if (context->sizeOnly || context->wholeAt == context->bytes.size()) return TRUE;
    return Guarded(error, [&]() -> gboolean {
        const auto frames = Frames(context->bytes, HostExtent::Whole, error, &context->budget);
        if (!frames) return FALSE;
        if (!context->animation) context->Announce(*frames, true);
        if (context->animation && !SetZNPixbufFrames(context->animation, *frames, true)) throw std::bad_alloc();
        return TRUE;
    });
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
    module->load = Load;
    module->load_animation = LoadAnimation;
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
    // Only the current layout's payload has a signature a prefix can hold:
    // a compressed file starts with a zlib header, which says nothing of
    // what is inside, and a legacy one with "ZN" and digits. Those are
    // known by their name (see docs/guests.md).
    static char current[] = "ZNFIL";
    static GdkPixbufModulePattern signature[] = {{current, nullptr, 100}, {nullptr, nullptr, 0}};
    static char mimeType[] = "application/x-zintra-animation";
    static gchar* mimeTypes[] = {mimeType, nullptr};
    static char extension[] = "zn";
    static gchar* extensions[] = {extension, nullptr};
    static char name[] = "zn", description[] = "Zintra animation", license[] = "MIT";

    info->name = name;
    info->signature = signature;
    info->description = description;
    info->mime_types = mimeTypes;
    info->extensions = extensions;
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = license;
}

}  // extern "C"
