#include "imageformats/pixbuf/ZNPixbufAnimation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

// The animation interface of gdk-pixbuf still speaks GTimeVal.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace {

struct Frames {
    std::vector<GdkPixbuf*> pixbufs;
    std::vector<int64_t> ends;  // ms from the loop's start to each frame's end

    ~Frames() { std::for_each(pixbufs.begin(), pixbufs.end(), g_object_unref); }
    int64_t loopMs() const { return ends.back(); }
};

GdkPixbuf* NewPixbuf(const IconImage& image) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height);
    if (!pixbuf) throw std::bad_alloc();
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgba p = image.at(x, y);
            const guchar rgba[] = {p.r, p.g, p.b, p.alpha};
            std::memcpy(rows + y * stride + x * 4, rgba, sizeof rgba);
        }
    return pixbuf;
}

int64_t Milliseconds(const GTimeVal& time) { return int64_t(time.tv_sec) * 1000 + time.tv_usec / 1000; }

int64_t Now(const GTimeVal* given) {
    GTimeVal now;
    if (given) now = *given;
    else g_get_current_time(&now);
    return Milliseconds(now);
}

}  // namespace

struct ZintraPixbufAnimation {
    GdkPixbufAnimation parent;
    Frames* frames;
};
struct ZintraPixbufAnimationClass {
    GdkPixbufAnimationClass parent;
};
struct ZintraPixbufIter {
    GdkPixbufAnimationIter parent;
    ZintraPixbufAnimation* animation;
    int64_t startMs;
    int64_t positionMs;  // within the loop
    size_t frame;
};
struct ZintraPixbufIterClass {
    GdkPixbufAnimationIterClass parent;
};

G_DEFINE_TYPE(ZintraPixbufAnimation, zintra_pixbuf_animation, GDK_TYPE_PIXBUF_ANIMATION)
G_DEFINE_TYPE(ZintraPixbufIter, zintra_pixbuf_iter, GDK_TYPE_PIXBUF_ANIMATION_ITER)

namespace {

ZintraPixbufAnimation* Animation(GdkPixbufAnimation* animation) {
    return G_TYPE_CHECK_INSTANCE_CAST(animation, zintra_pixbuf_animation_get_type(), ZintraPixbufAnimation);
}
ZintraPixbufIter* Iter(GdkPixbufAnimationIter* iter) {
    return G_TYPE_CHECK_INSTANCE_CAST(iter, zintra_pixbuf_iter_get_type(), ZintraPixbufIter);
}

GdkPixbufAnimationIter* NewIter(GdkPixbufAnimation* animation, const GTimeVal* start) {
    auto* iter = static_cast<ZintraPixbufIter*>(g_object_new(zintra_pixbuf_iter_get_type(), nullptr));
    iter->animation = Animation(animation);
    g_object_ref(animation);
    iter->startMs = Now(start);
    return &iter->parent;
}

gboolean Advance(GdkPixbufAnimationIter* base, const GTimeVal* time) {
    ZintraPixbufIter* iter = Iter(base);
    const Frames& frames = *iter->animation->frames;
    const int64_t now = Now(time);
    // A clock set back starts the loop again rather than running backwards.
    if (now < iter->startMs) iter->startMs = now;
    // Every deadline counts from the loop's start, so lateness never adds up.
    iter->positionMs = (now - iter->startMs) % frames.loopMs();
    const size_t frame = size_t(std::upper_bound(frames.ends.begin(), frames.ends.end(), iter->positionMs) -
                                frames.ends.begin());
    const bool changed = frame != iter->frame;
    iter->frame = frame;
    return changed;
}

int DelayTime(GdkPixbufAnimationIter* base) {
    const ZintraPixbufIter* iter = Iter(base);
    const Frames& frames = *iter->animation->frames;
    // A single frame shows for ever; otherwise what is left of this one.
    if (frames.pixbufs.size() == 1) return -1;
    return int(frames.ends[iter->frame] - iter->positionMs);
}

}  // namespace

static void zintra_pixbuf_animation_finalize(GObject* object) {
    delete Animation(GDK_PIXBUF_ANIMATION(object))->frames;
    G_OBJECT_CLASS(zintra_pixbuf_animation_parent_class)->finalize(object);
}

static void zintra_pixbuf_animation_class_init(ZintraPixbufAnimationClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = zintra_pixbuf_animation_finalize;
    GdkPixbufAnimationClass* animation = &klass->parent;
    animation->is_static_image = [](GdkPixbufAnimation* a) -> gboolean {
        return Animation(a)->frames->pixbufs.size() == 1;
    };
    animation->get_static_image = [](GdkPixbufAnimation* a) { return Animation(a)->frames->pixbufs.front(); };
    animation->get_size = [](GdkPixbufAnimation*, int* width, int* height) {
        if (width) *width = kFrameSize;
        if (height) *height = kFrameSize;
    };
    animation->get_iter = NewIter;
}

static void zintra_pixbuf_animation_init(ZintraPixbufAnimation*) {}

static void zintra_pixbuf_iter_finalize(GObject* object) {
    g_object_unref(Iter(GDK_PIXBUF_ANIMATION_ITER(object))->animation);
    G_OBJECT_CLASS(zintra_pixbuf_iter_parent_class)->finalize(object);
}

static void zintra_pixbuf_iter_class_init(ZintraPixbufIterClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = zintra_pixbuf_iter_finalize;
    GdkPixbufAnimationIterClass* iter = &klass->parent;
    iter->get_delay_time = DelayTime;
    iter->get_pixbuf = [](GdkPixbufAnimationIter* i) {
        return Iter(i)->animation->frames->pixbufs[Iter(i)->frame];
    };
    iter->on_currently_loading_frame = [](GdkPixbufAnimationIter*) -> gboolean { return FALSE; };
    iter->advance = Advance;
}

static void zintra_pixbuf_iter_init(ZintraPixbufIter*) {}

G_GNUC_END_IGNORE_DEPRECATIONS

GdkPixbufAnimation* NewZNPixbufAnimation(const std::vector<ZNImageFrame>& frames) {
    auto own = std::make_unique<Frames>();
    own->pixbufs.reserve(frames.size());
    int64_t end = 0;
    for (const ZNImageFrame& frame : frames) {
        own->pixbufs.push_back(NewPixbuf(frame.image));
        own->ends.push_back(end += frame.delayMs);
    }
    auto* animation =
        static_cast<ZintraPixbufAnimation*>(g_object_new(zintra_pixbuf_animation_get_type(), nullptr));
    animation->frames = own.release();
    return &animation->parent;
}
