#include "core/Conversion.h"

#include <cstdint>

namespace {

constexpr int kFramePixels = kFrameSize * kFrameSize;

// The one sampling rule for pictures and icon images: visits each target
// pixel with the source pixel it takes. 64-bit products, since a pasted
// picture may be of any size.
template <typename Visit>
void ForEachFramePixel(int sourceWidth, int sourceHeight, Visit visit) {
    if (sourceWidth <= 0 || sourceHeight <= 0) return;
    for (int y = 0; y < kFrameSize; ++y) {
        const int sy = int(int64_t(y) * sourceHeight / kFrameSize);
        for (int x = 0; x < kFrameSize; ++x)
            visit(x, y, int(int64_t(x) * sourceWidth / kFrameSize), sy);
    }
}

const Rgba kTransparent{0, 0, 0, 0};

Rgba Opaque(Rgb c) { return {c.r, c.g, c.b, 255}; }

uint8_t Blend(uint8_t over, uint8_t under, unsigned alpha) {
    return uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

Picture ScaleToFrame(const Picture& picture) {
    Picture out(kFrameSize, kFrameSize, kKeyColour);
    ForEachFramePixel(picture.width(), picture.height(),
                      [&](int x, int y, int sx, int sy) { out.set(x, y, picture.at(sx, sy)); });
    return out;
}

IconImage ScaleToFrame(const IconImage& image) {
    IconImage out{kFrameSize, kFrameSize, std::vector<Rgba>(kFramePixels, kTransparent)};
    ForEachFramePixel(image.width, image.height, [&](int x, int y, int sx, int sy) {
        out.pixels[size_t(y * kFrameSize + x)] = image.at(sx, sy);
    });
    return out;
}

std::unique_ptr<TFrameIcon> MakeFrameIcon(const Picture& picture) {
    // Transparent until sampled, so a picture with no pixels gives an empty frame.
    IconImage image{kFrameSize, kFrameSize, std::vector<Rgba>(kFramePixels, kTransparent)};
    ForEachFramePixel(picture.width(), picture.height(), [&](int x, int y, int sx, int sy) {
        const Rgb c = picture.at(sx, sy);
        if (c != kKeyColour) image.pixels[size_t(y * kFrameSize + x)] = Opaque(c);
    });
    return TFrameIcon::Built(std::move(image));
}

void RenderFrameIcon(const TFrameIcon& icon, Picture& target16, Rgb background) {
    if (target16.width() == kFrameSize && target16.height() == kFrameSize)
        target16.fill(background);
    else
        target16 = Picture(kFrameSize, kFrameSize, background);
    if (icon.empty()) return;

    const IconImage& image = icon.image();
    ForEachFramePixel(image.width, image.height, [&](int x, int y, int sx, int sy) {
        const Rgba p = image.at(sx, sy);
        if (p.alpha == 0) return;
        if (p.alpha == 255) {
            target16.set(x, y, p.rgb());
            return;
        }
        // A partly transparent pixel of a 32-bit image, drawn as a desktop
        // draws such icons: blended over what lies beneath.
        target16.set(x, y, {Blend(p.r, background.r, p.alpha), Blend(p.g, background.g, p.alpha),
                            Blend(p.b, background.b, p.alpha)});
    });
}

std::unique_ptr<TFrameIcon> ReduceColours(Picture& picture) {
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Rgb c = picture.at(x, y);
            if (c != kKeyColour) picture.set(x, y, NearestStandardColour(c));
        }
    return MakeFrameIcon(picture);
}

std::unique_ptr<TFrameIcon> ImportFrameIcon(const TFrameIcon& icon, bool reduce) {
    Picture picture(kFrameSize, kFrameSize, kKeyColour);
    RenderFrameIcon(icon, picture, kKeyColour);
    return reduce ? ReduceColours(picture) : MakeFrameIcon(picture);
}

bool PasteFrame(const Picture& pasted, Picture& working) {
    if (pasted.width() <= 0 || pasted.height() <= 0) return false;
    // Scaled before the reduction, so a picture of any size is reduced in
    // full and only the 256 sampled pixels are looked up.
    Picture frame = ScaleToFrame(pasted);
    const std::unique_ptr<TFrameIcon> icon = ReduceColours(frame);
    RenderFrameIcon(*icon, working, kKeyColour);
    return true;
}
