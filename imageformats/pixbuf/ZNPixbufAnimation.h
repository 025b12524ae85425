#pragma once
// A ZN file's frames as a GdkPixbufAnimation that loops forever, each frame
// shown for its own delay.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <vector>

#include "imageformats/ZNImageFrames.h"

// A new animation (one reference, the caller's) over at least one frame.
GdkPixbufAnimation* NewZNPixbufAnimation(const std::vector<ZNImageFrame>& frames);
