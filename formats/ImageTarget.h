#pragma once
// Where a decoder puts an image's pixels: the whole image at its stored
// size, or only the 16×16 frame that FrameSourceIndex takes from it. One
// decoder serves both: it asks which source row and column each target pixel
// takes and hands over only those, so a frame is sampled from 256 pixels and
// the rest of the image is never decoded.
#include <algorithm>
#include <cstdint>

#include "formats/FrameIcon.h"
#include "formats/ReadBudget.h"

class ImageTarget {
public:
    enum class Size { Stored, Frame };
    explicit ImageTarget(Size size) : m_size(size) {}

    // Sizes the target for a source picture of width × height (both above
    // 0) and charges the pixels it will hold as memory for as long as the
    // target keeps them.
    void begin(int width, int height, ReadBudget& budget) {
        m_sourceWidth = width;
        m_sourceHeight = height;
        const bool frame = sampling();
        m_image = IconImage{frame ? kFrameSize : width, frame ? kFrameSize : height, {}};
        const size_t pixels = size_t(m_image.width) * size_t(m_image.height);
        m_held = budget.hold(pixels * sizeof(Rgba), "an image's pixels");
        m_image.pixels.resize(pixels);  // a decoder fills every pixel
        for (int x = 0; x < kFrameSize; ++x) m_columns[x] = FrameSourceIndex(x, width);
    }

    bool sampling() const { return m_size == Size::Frame; }
    int width() const { return m_image.width; }
    int height() const { return m_image.height; }
    int sourceWidth() const { return m_sourceWidth; }
    int sourceHeight() const { return m_sourceHeight; }
    // The source column and row that target pixel (x, y) takes.
    int sourceX(int x) const { return sampling() ? m_columns[x] : x; }
    int sourceY(int y) const { return sampling() ? FrameSourceIndex(y, m_sourceHeight) : y; }
    // No target pixel takes a source row below this one: a decoder may stop there.
    int lastSourceRow() const { return sourceY(height() - 1); }
    // Whether target rows are source rows whole: every column, in order.
    bool wholeRows() const { return width() == m_sourceWidth; }

    const IconImage& image() const { return m_image; }
    // Target row y, width() pixels.
    Rgba* row(int y) { return m_image.pixels.data() + size_t(y) * size_t(m_image.width); }
    // A whole source row of sourceWidth() pixels, put into every target row
    // that takes it.
    void putSourceRow(int sourceRow, const Rgba* pixels) {
        for (int y = 0; y < height(); ++y) {
            if (sourceY(y) != sourceRow) continue;
            Rgba* out = row(y);
            for (int x = 0; x < width(); ++x) out[x] = pixels[sourceX(x)];
        }
    }
    // An image decoded already, put as a decoder would put it.
    void putImage(const IconImage& image, ReadBudget& budget) {
        begin(image.width, image.height, budget);
        for (int y = 0; y < height(); ++y) {
            const Rgba* source = image.pixels.data() + size_t(sourceY(y)) * size_t(image.width);
            if (wholeRows()) std::copy_n(source, width(), row(y));
            else for (int x = 0; x < width(); ++x) row(y)[x] = source[sourceX(x)];
        }
    }

    IconImage take() {
        m_held = {};
        return std::move(m_image);
    }

private:
    Size m_size;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_columns[kFrameSize] = {};
    IconImage m_image;
    ReadBudget::Held m_held;
};
