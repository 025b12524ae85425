// Any bytes through the gdk-pixbuf loader module's own entry points, fed in
// two pieces as GdkPixbufLoader feeds them; the animation handed over in
// area-prepared is played once round its loop when the load has ended,
// every frame's pixels read.
#include <cstring>

#include "imageformats/pixbuf/ZNPixbufAnimation.h"

extern "C" void fill_vtable(GdkPixbufModule* module);

namespace {

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void Play(GdkPixbufAnimation* animation) {
    GTimeVal now{0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &now);
    GdkPixbuf* const first = gdk_pixbuf_animation_iter_get_pixbuf(iter);
    GdkPixbuf* frame = first;
    unsigned sum = 0;
    do {
        const guchar* pixels = gdk_pixbuf_read_pixels(frame);
        for (gsize i = 0; i < gdk_pixbuf_get_byte_length(frame); ++i) sum += pixels[i];
        const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
        if (delay < 0) break;
        g_time_val_add(&now, glong(delay) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &now);
        frame = gdk_pixbuf_animation_iter_get_pixbuf(iter);
    } while (frame != first);
    g_object_unref(iter);
    volatile unsigned keep = sum;
    (void)keep;
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GdkPixbufModule module = [] {
        GdkPixbufModule m;
        std::memset(&m, 0, sizeof m);
        fill_vtable(&m);
        return m;
    }();
    GdkPixbufAnimation* prepared = nullptr;
    const auto keep = [](GdkPixbuf*, GdkPixbufAnimation* animation, gpointer data) {
        *static_cast<GdkPixbufAnimation**>(data) = GDK_PIXBUF_ANIMATION(g_object_ref(animation));
    };
    GError* error = nullptr;
    gpointer context = module.begin_load(nullptr, keep, nullptr, &prepared, &error);
    const size_t half = size / 2;
    if (module.load_increment(context, data, guint(half), &error))
        module.load_increment(context, data + half, guint(size - half), &error);
    g_clear_error(&error);
    module.stop_load(context, &error);
    g_clear_error(&error);
    if (prepared) {
        Play(prepared);
        g_object_unref(prepared);
    }
    return 0;
}
