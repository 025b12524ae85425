#pragma once
// A ZN file's frames as a GdkPixbufAnimation that loops for ever, each frame
// shown for its own delay. An animation is made while its file still loads,
// around the first frame's pixbuf that area-prepared hands over and the
// loader fills afterwards; the later frames join it once the file is read.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "imageformats/ZNImageFrames.h"

// A new animation (one reference, the caller's) of one transparent 16×16
// frame, still loading. Null when memory runs out.
GdkPixbufAnimation* NewZNPixbufAnimation();
// Its first frame's pixbuf (the animation's reference).
GdkPixbuf* ZNPixbufFirstFrame(GdkPixbufAnimation* animation);
// Copies a 16×16 frame image into a pixbuf of that size.
void FillZNPixbuf(GdkPixbuf* pixbuf, const IconImage& image);
// Gives the animation the times of these frames and a new pixbuf for each
// one past those it has (the first is filled by the loader); loaded says
// that no more will follow. False when memory runs out.
bool SetZNPixbufFrames(GdkPixbufAnimation* animation, const ZNImageFrames& frames, bool loaded);
// Loading has ended with the frames the animation has.
void EndZNPixbufLoading(GdkPixbufAnimation* animation);
