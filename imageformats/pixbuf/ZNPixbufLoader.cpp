// The gdk-pixbuf loader module for ZN files. gdk-pixbuf finds it through
// its loaders cache and calls fill_info to learn what it reads and
// fill_vtable for its entry points: whole files from a FILE*, and
// incremental loading, where the bytes are gathered and decoded at the end
// (a ZN file is one zlib stream, and nothing can be shown before its last
// frame is read).
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "formats/Errors.h"
#include "imageformats/pixbuf/ZNPixbufAnimation.h"

namespace {

struct LoadContext {
    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    std::vector<uint8_t> bytes;
};

// Runs work and turns whatever it throws into the GError gdk-pixbuf expects:
// no exception leaves the module.
template <typename Work>
bool Guarded(GError** error, Work work) {
    const auto fail = [error](GdkPixbufError code, const std::string& text) {
        g_set_error(error, GDK_PIXBUF_ERROR, code, "Cannot read this ZN file: %s", text.c_str());
        return false;
    };
    try {
        work();
        return true;
    } catch (const EZintraError& e) {
        return fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, e.reason());
    } catch (const std::bad_alloc&) {
        return fail(GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
    } catch (const std::exception& e) {
        return fail(GDK_PIXBUF_ERROR_FAILED, e.what());
    }
}

// The animation, or null with the error set.
GdkPixbufAnimation* Decode(const std::vector<uint8_t>& bytes, GError** error) {
    GdkPixbufAnimation* animation = nullptr;
    Guarded(error, [&] { animation = NewZNPixbufAnimation(ReadZNImageFrames(bytes)); });
    return animation;
}

GdkPixbufAnimation* LoadAnimation(FILE* file, GError** error) {
    std::vector<uint8_t> bytes;
    const bool read = Guarded(error, [&] {
        uint8_t chunk[65536];
        while (const size_t got = fread(chunk, 1, sizeof chunk, file)) GatherZNBytes(bytes, {chunk, got});
        if (ferror(file)) throw EReadError(messages::kStreamRead, "the file could not be read");
    });
    return read ? Decode(bytes, error) : nullptr;
}

GdkPixbuf* Load(FILE* file, GError** error) {
    GdkPixbufAnimation* animation = LoadAnimation(file, error);
    if (!animation) return nullptr;
    GdkPixbuf* first = GDK_PIXBUF(g_object_ref(gdk_pixbuf_animation_get_static_image(animation)));
    g_object_unref(animation);
    return first;
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError** error) {
    LoadContext* context = nullptr;
    Guarded(error, [&] { context = new LoadContext{sizeFunc, preparedFunc, updatedFunc, userData, {}}; });
    return context;
}

gboolean LoadIncrement(gpointer context, const guchar* data, guint size, GError** error) {
    return Guarded(error, [&] { GatherZNBytes(static_cast<LoadContext*>(context)->bytes, {data, size}); });
}

gboolean StopLoad(gpointer data, GError** error) {
    const std::unique_ptr<LoadContext> context(static_cast<LoadContext*>(data));
    GdkPixbufAnimation* animation = Decode(context->bytes, error);
    if (!animation) return FALSE;
    int width = kFrameSize, height = kFrameSize;
    if (context->sizeFunc) context->sizeFunc(&width, &height, context->userData);
    // A size of 0 asks for the size alone (gdk_pixbuf_get_file_info).
    if (width > 0 && height > 0) {
        GdkPixbuf* first = gdk_pixbuf_animation_get_static_image(animation);
        if (context->preparedFunc) context->preparedFunc(first, animation, context->userData);
        if (context->updatedFunc) context->updatedFunc(first, 0, 0, kFrameSize, kFrameSize, context->userData);
    }
    g_object_unref(animation);
    return TRUE;
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
    // A raw payload starts "ZN" ("ZNFIL" in the current layout); a
    // compressed file is a bare zlib stream, whose header only hints.
    static char current[] = "ZNFIL", legacy[] = "ZN";
    static char zlib9[] = "\x78\xda", zlib6[] = "\x78\x9c", zlib2[] = "\x78\x5e", zlib1[] = "\x78\x01";
    static GdkPixbufModulePattern signature[] = {
        {current, nullptr, 100}, {legacy, nullptr, 30}, {zlib9, nullptr, 10},
        {zlib6, nullptr, 5},     {zlib2, nullptr, 5},   {zlib1, nullptr, 5},
        {nullptr, nullptr, 0},
    };
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
