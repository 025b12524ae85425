// gdk-pixbuf, as GTK programs read images: a loader fed the bytes, then
// every frame of its animation walked with an iterator at each frame's time.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>
#include <stdexcept>

#include "bench/peers/Peer.h"

namespace {

struct LoaderDeleter {
    void operator()(GdkPixbufLoader* loader) const { g_object_unref(loader); }
};
using Loader = std::unique_ptr<GdkPixbufLoader, LoaderDeleter>;

std::runtime_error Failure(const char* what, GError* error) {
    std::string text = std::string(what) + (error ? std::string(": ") + error->message : std::string());
    if (error) g_error_free(error);
    return std::runtime_error(text);
}

Loader Load(const char* type, const std::vector<uint8_t>& bytes) {
    GError* error = nullptr;
    Loader loader(gdk_pixbuf_loader_new_with_type(type, &error));
    if (!loader) throw Failure("no loader", error);
    const bool written = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error);
    // The loader must be closed even after a failed write.
    const bool closed = gdk_pixbuf_loader_close(loader.get(), written ? &error : nullptr);
    if (!written || !closed) throw Failure("refused", error);
    return loader;
}

void AddPixbuf(PixelDigest* digest, GdkPixbuf* pixbuf) {
    if (!digest) return;
    digest->addRows(gdk_pixbuf_read_pixels(pixbuf), gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                    size_t(gdk_pixbuf_get_rowstride(pixbuf)), gdk_pixbuf_get_n_channels(pixbuf));
}

int DecodeCursor(const WorkItem& item, PixelDigest* digest) {
    const Loader loader = Load("ani", item.bytes);
    GdkPixbufAnimation* animation = gdk_pixbuf_loader_get_animation(loader.get());
    if (!animation) throw std::runtime_error("no animation");
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // its iterator still takes GTimeVal
    GTimeVal time{0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
    int frames = 0;
    for (; frames < item.frames; ++frames) {
        GdkPixbuf* pixbuf = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        if (!pixbuf) break;
        AddPixbuf(digest, pixbuf);
        const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
        if (delay < 0) {  // a still image: shown forever
            ++frames;
            break;
        }
        g_time_val_add(&time, glong(delay) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &time);
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    return frames;
}

int DecodeIcon(const WorkItem& item, PixelDigest* digest) {
    const Loader loader = Load("ico", item.bytes);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!pixbuf) throw std::runtime_error("no image");
    AddPixbuf(digest, pixbuf);
    return 1;
}

std::string Unavailable() {
    for (const char* type : {"ani", "ico"}) {
        GError* error = nullptr;
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, &error);
        if (!loader) {
            if (error) g_error_free(error);
            return std::string("its \"") + type + "\" loader is not installed";
        }
        gdk_pixbuf_loader_close(loader, nullptr);
        g_object_unref(loader);
    }
    return {};
}

}  // namespace

Peer GdkPixbufPeer() {
    return {"gdk-pixbuf", "gdk-pixbuf " GDK_PIXBUF_VERSION, Unavailable(), [](WorkItem::Kind) { return true; },
            [](const WorkItem& item, PixelDigest* digest) {
                return item.kind == WorkItem::Kind::AnimatedCursor ? DecodeCursor(item, digest)
                                                                   : DecodeIcon(item, digest);
            }};
}
