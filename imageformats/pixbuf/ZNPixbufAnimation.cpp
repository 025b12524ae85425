#include "imageformats/pixbuf/ZNPixbufAnimation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "core/FrameTiming.h"

// The animation interface of gdk-pixbuf still speaks GTimeVal.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace {

struct Frames {
    std::vector<GdkPixbuf*> pixbufs;
    std::vector<int64_t> ends;  // ms from the loop's start to each frame's end
    bool loading = true;

    ~Frames() { std::for_each(pixbufs.begin(), pixbufs.end(), g_object_unref); }
    // Without times yet, or with a loop of no length, frame 0 stays.
    bool timed() const { return !ends.empty() && ends.back() > 0; }
};

GdkPixbuf* NewPixbuf() {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kFrameSize, kFrameSize);
    if (pixbuf) gdk_pixbuf_fill(pixbuf, 0);
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
    if (!frames.timed()) return FALSE;
    iter->positionMs = (now - iter->startMs) % frames.ends.back();
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
    if (!frames.timed() || (frames.pixbufs.size() == 1 && !frames.loading)) return -1;
    return DelayMilliseconds(frames.ends[iter->frame] - iter->positionMs);
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
        return Animation(a)->frames->pixbufs.size() == 1 && !Animation(a)->frames->loading;
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
    iter->on_currently_loading_frame = [](GdkPixbufAnimationIter* i) -> gboolean {
        const Frames& frames = *Iter(i)->animation->frames;
        return frames.loading && Iter(i)->frame + 1 == frames.pixbufs.size();
    };
    iter->advance = Advance;
}

static void zintra_pixbuf_iter_init(ZintraPixbufIter*) {}

G_GNUC_END_IGNORE_DEPRECATIONS

GdkPixbufAnimation* NewZNPixbufAnimation() {
    auto own = std::make_unique<Frames>();
    GdkPixbuf* first = NewPixbuf();
    if (!first) return nullptr;
    own->pixbufs.push_back(first);
    auto* animation =
        static_cast<ZintraPixbufAnimation*>(g_object_new(zintra_pixbuf_animation_get_type(), nullptr));
    animation->frames = own.release();
    return &animation->parent;
}

GdkPixbuf* ZNPixbufFirstFrame(GdkPixbufAnimation* animation) { return Animation(animation)->frames->pixbufs.front(); }

void FillZNPixbuf(GdkPixbuf* pixbuf, const IconImage& image) {
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf);
    // Rgba is laid out as gdk-pixbuf's RGBA bytes.
    static_assert(sizeof(Rgba) == 4);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(rows + y * stride, &image.pixels[size_t(y) * size_t(image.width)], size_t(image.width) * 4);
}

bool SetZNPixbufFrames(GdkPixbufAnimation* animation, const ZNImageFrames& frames, bool loaded) {
    Frames& own = *Animation(animation)->frames;
    own.pixbufs.reserve(size_t(frames.count()));
    for (int i = int(own.pixbufs.size()); i < frames.count(); ++i) {
        GdkPixbuf* pixbuf = NewPixbuf();
        if (!pixbuf) return false;
        FillZNPixbuf(pixbuf, frames.image(i));
        own.pixbufs.push_back(pixbuf);
    }
    own.ends.resize(size_t(frames.count()));
    for (int i = 0; i < frames.count(); ++i) own.ends[size_t(i)] = frames.endMs(i);
    own.loading = !loaded;
    return true;
}

void EndZNPixbufLoading(GdkPixbufAnimation* animation) { Animation(animation)->frames->loading = false; }
