#pragma once
// How a view's picture is laid out on a screen whose pixels are finer than
// the window's. At a scale such as 1.25 or 1.5 a picture pixel cannot cover
// a whole number of device pixels, and enlarging the picture as a whole
// makes some grid lines and cells a pixel wider than others. So each view is
// laid out in device pixels instead: the enlarged grid keeps cells of one
// size and lines of one width, and a frame at actual size is enlarged by a
// whole factor. At scale 1 both layouts are the picture itself.
#include <vector>

// For each device pixel along one axis of a view, the picture coordinate it
// shows, or -1 where the view's background shows instead.
using TAxisLayout = std::vector<int>;

// The enlarged view (kEnlargedViewSize picture pixels) across devicePixels:
// grid lines the whole part of scale wide (at least 1), the widest cells
// that fit, and what is left over split around the grid as outline.
TAxisLayout EnlargedViewAxis(int devicePixels, double scale);

// A picture of `pixels` pixels across devicePixels, each picture pixel the
// whole part of scale wide (at least 1, and no wider than fits), centred.
TAxisLayout ActualSizeAxis(int pixels, int devicePixels, double scale);

// The picture coordinate under device position u (0 at the view's first
// device pixel); positions outside the view continue at the scale, so that
// a drag beyond an edge stays beyond it.
int PictureCoordinate(const TAxisLayout& axis, int pictureSize, double scale, double u);

// The least length, from `length` up, that covers a whole number of device
// pixels at scale, so that a compositor shows the window without resampling
// it (373 at 1.5 would be 559.5); `length` itself where none is near.
int WholeDeviceLength(int length, double scale);
