#include "core/Conversion.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "formats/ImageTarget.h"

namespace {

constexpr int kFramePixels = kFrameSize * kFrameSize;

// The one sampling rule for pictures: visits each target pixel with the
// source pixel it takes.
template <typename Visit>
void ForEachFramePixel(int sourceWidth, int sourceHeight, Visit visit) {
    if (sourceWidth <= 0 || sourceHeight <= 0) return;
    for (int y = 0; y < kFrameSize; ++y) {
        const int sy = FrameSourceIndex(y, sourceHeight);
        for (int x = 0; x < kFrameSize; ++x) visit(x, y, FrameSourceIndex(x, sourceWidth), sy);
    }
}

const Rgba kTransparent{0, 0, 0, 0};
// Pixels are handled as 32-bit words whose low byte is the first in memory.
static_assert(std::endian::native == std::endian::little, "pixel words assume a little-endian machine");
// The key colour as the low three bytes of a pixel's word in memory order.
constexpr uint32_t kKeyWord = uint32_t(kKeyColour.r) | uint32_t(kKeyColour.g) << 8 | uint32_t(kKeyColour.b) << 16;

Rgba Opaque(Rgb c) { return {c.r, c.g, c.b, 255}; }

uint8_t Blend(uint8_t over, uint8_t under, unsigned alpha) {
    return uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}

// What a pixel of a frame image shows over the background: nothing where it
// is transparent, its colour where opaque, and a partly transparent pixel
// (32-bit images) blended over the background, as a desktop draws icons.
std::optional<Rgb> Shown(Rgba p, Rgb background) {
    if (p.alpha == 0) return std::nullopt;
    if (p.alpha == 255) return p.rgb();
    return Rgb{Blend(p.r, background.r, p.alpha), Blend(p.g, background.g, p.alpha),
               Blend(p.b, background.b, p.alpha)};
}

}  // namespace

Picture ScaleToFrame(const Picture& picture) {
    Picture out(kFrameSize, kFrameSize, kKeyColour);
    ForEachFramePixel(picture.width(), picture.height(),
                      [&](int x, int y, int sx, int sy) { out.set(x, y, picture.at(sx, sy)); });
    return out;
}

std::unique_ptr<TFrameIcon> MakeFrameIcon(const Picture& picture) {
    // Transparent until sampled, so a picture with no pixels gives an empty frame.
    IconImage image{kFrameSize, kFrameSize, {}};
    image.pixels.assign(kFramePixels, kTransparent);
    ForEachFramePixel(picture.width(), picture.height(), [&](int x, int y, int sx, int sy) {
        const Rgb c = picture.at(sx, sy);
        if (c != kKeyColour) image.pixels[size_t(y * kFrameSize + x)] = Opaque(c);
    });
    return TFrameIcon::Built(std::move(image));
}

namespace {

// Draws a 16×16 image, or nothing for an empty icon, over the background.
void Draw(const IconImage* image, Picture& target16, Rgb background) {
    if (target16.width() == kFrameSize && target16.height() == kFrameSize)
        target16.fill(background);
    else
        target16 = Picture(kFrameSize, kFrameSize, background);
    if (!image) return;
    for (int y = 0; y < kFrameSize; ++y)
        for (int x = 0; x < kFrameSize; ++x)
            if (const auto c = Shown(image->at(x, y), background)) target16.set(x, y, *c);
}

// Each decoded pixel as rendering over the key colour and then reducing or
// making the icon would leave it, worked out in place: what it shows over
// the key colour, transparent where that is the key colour itself.
void ToDocumentPixels(IconImage& image, bool reduce) {
    // Words in memory order: red in the low byte, alpha in the high one.
    // Each loop is plain enough for the compiler to do four pixels at once.
    Rgba* const pixels = image.pixels.data();
    auto word = [&](int i) {
        uint32_t w;
        std::memcpy(&w, &pixels[i], sizeof w);
        return w;
    };
    uint32_t partlyTransparent = 0;  // only 32-bit images have such pixels
    for (int i = 0; i < kFramePixels; ++i) partlyTransparent |= (word(i) >> 24) - 1u < 254u;
    if (partlyTransparent) {
        for (int i = 0; i < kFramePixels; ++i)
            if (pixels[i].alpha != 0 && pixels[i].alpha != 255) pixels[i] = Opaque(*Shown(pixels[i], kKeyColour));
    }
    for (int i = 0; i < kFramePixels; ++i) {
        const uint32_t w = word(i), rgb = w & 0x00FFFFFF;
        const uint32_t kept = (rgb | 0xFF000000) & uint32_t(-uint32_t((w >> 24 != 0) & (rgb != kKeyWord)));
        std::memcpy(&pixels[i], &kept, sizeof kept);
    }
    if (!reduce) return;
    // Transparent pixels are black, which stays black.
    Rgb colours[kFramePixels];
    for (int i = 0; i < kFramePixels; ++i) colours[i] = pixels[i].rgb();
    ReduceToStandardColours(colours);
    for (int i = 0; i < kFramePixels; ++i) pixels[i] = {colours[i].r, colours[i].g, colours[i].b, pixels[i].alpha};
}

}  // namespace

void RenderFrameIcon(const TFrameIcon& icon, Picture& target16, Rgb background) {
    Draw(icon.empty() ? nullptr : &icon.image(), target16, background);
}

void RenderFrameIcon(const TFrameIcon& icon, Picture& target16, Rgb background, ReadBudget& budget) {
    Draw(nullptr, target16, background);
    if (icon.empty()) return;
    ImageTarget frame(ImageTarget::Size::Frame);
    icon.decode(frame, budget);
    const IconImage image = frame.take();
    Draw(&image, target16, background);
}

std::unique_ptr<TFrameIcon> ReduceColours(Picture& picture) {
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Rgb c = picture.at(x, y);
            if (c != kKeyColour) picture.set(x, y, NearestStandardColour(c));
        }
    return MakeFrameIcon(picture);
}

std::unique_ptr<TFrameIcon> ImportFrameIcon(const TFrameIcon& icon, bool reduce, ReadBudget& budget) {
    if (icon.empty()) return MakeFrameIcon(Picture());
    ImageTarget frame(ImageTarget::Size::Frame);
    icon.decode(frame, budget);
    IconImage image = frame.take();
    ToDocumentPixels(image, reduce);
    return TFrameIcon::Built(std::move(image));
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
