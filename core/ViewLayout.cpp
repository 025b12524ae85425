#include "core/ViewLayout.h"

#include <algorithm>
#include <cmath>

#include "core/Canvas.h"

namespace {

// The whole part of a scale, at least 1; 1.9999999 from a sum of floats is 2.
int WholeScale(double scale) { return std::max(1, int(std::floor(scale + 1e-6))); }

}  // namespace

TAxisLayout EnlargedViewAxis(int devicePixels, double scale) {
    constexpr int kCells = kEnlargedViewSize / kCellPitch;  // 16
    constexpr int kLast = kEnlargedViewSize - 1;            // the outline's far side
    const int line = WholeScale(scale);
    const int pitch = std::max(line + 1, (devicePixels - line) / kCells);
    const int inside = pitch - line;
    const int before = (devicePixels - (kCells * pitch + line)) / 2;
    TAxisLayout axis(size_t(std::max(devicePixels, 0)));
    for (int u = 0; u < devicePixels; ++u) {
        const int g = u - before;
        if (g < 0) {
            axis[size_t(u)] = 0;
        } else if (g >= kCells * pitch) {
            axis[size_t(u)] = kLast;
        } else {
            // A grid line (the outline at the first), or a point inside a
            // cell placed in proportion, which keeps the hit areas' offset.
            const int cell = g / pitch, r = g % pitch;
            axis[size_t(u)] = cell * kCellPitch + (r < line ? 0 : 1 + (r - line) * (kCellPitch - 1) / inside);
        }
    }
    return axis;
}

TAxisLayout ActualSizeAxis(int pixels, int devicePixels, double scale) {
    const int zoom = std::max(1, std::min(WholeScale(scale), devicePixels / std::max(pixels, 1)));
    const int before = (devicePixels - pixels * zoom) / 2;
    TAxisLayout axis(size_t(std::max(devicePixels, 0)), -1);
    for (int u = std::max(before, 0); u < std::min(devicePixels, before + pixels * zoom); ++u)
        axis[size_t(u)] = (u - before) / zoom;
    return axis;
}

int PictureCoordinate(const TAxisLayout& axis, int pictureSize, double scale, double u) {
    const double size = double(axis.size());
    if (u < 0) return int(std::floor(u / scale));
    if (u >= size) return pictureSize + int(std::floor((u - size) / scale));
    return axis[size_t(u)];
}

int WholeDeviceLength(int length, double scale) {
    // The scales desktops offer are eighths (1.25, 1.5, 1.75, 1.125), for
    // which a whole length lies within 8 window pixels.
    for (int n = length; n < length + 8; ++n) {
        const double device = n * scale;
        if (std::abs(device - std::round(device)) < 1e-6) return n;
    }
    return length;
}
