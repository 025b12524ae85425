#include "formats/PngImage.h"

#include <png.h>

#include <cstring>

#include "formats/Errors.h"

namespace {

// libpng's simplified reader: it reports failures through the image's
// message instead of longjmp, and frees its own state when it fails.
class PngReader {
public:
    explicit PngReader(std::span<const uint8_t> bytes) {
        m_image.version = PNG_IMAGE_VERSION;
        m_ok = IsPng(bytes) && png_image_begin_read_from_memory(&m_image, bytes.data(), bytes.size()) != 0;
    }
    ~PngReader() { png_image_free(&m_image); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool ok() const { return m_ok; }
    png_image& image() { return m_image; }

private:
    png_image m_image{};
    bool m_ok = false;
};

}  // namespace

bool IsPng(std::span<const uint8_t> bytes) {
    constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes) {
    PngReader reader(bytes);
    if (!reader.ok()) return std::nullopt;
    return PngSize{reader.image().width, reader.image().height};
}

IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget) {
    PngReader reader(bytes);
    png_image& png = reader.image();
    if (!reader.ok() || png.width == 0 || png.height == 0 || png.width > limits.maxWidth ||
        png.height > limits.maxHeight)
        throw EInvalidGraphic(messages::kInvalidIcon);
    static_assert(sizeof(Rgba) == 4, "decoded straight into the pixels");
    budget.chargePixels(uint64_t(png.width) * png.height, "decoding a PNG picture");
    png.format = PNG_FORMAT_RGBA;
    IconImage image{int(png.width), int(png.height), {}};
    image.pixels.resize(size_t(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, reinterpret_cast<uint8_t*>(image.pixels.data()), 0, nullptr))
        throw EInvalidGraphic(messages::kInvalidIcon);
    return image;
}
