#include "core/PictureImport.h"

#include <algorithm>
#include <filesystem>

#include "core/AnimationLoader.h"
#include "core/Conversion.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "formats/FileExtension.h"
#include "formats/GifImage.h"
#include "formats/PngImage.h"
#include "formats/ReadBudget.h"

namespace {

[[noreturn]] void Fail(const std::string& reason) { throw EReadError(reason); }

TDocument EmptyDocument() {
    TDocument document;
    document.ClearDocument();
    return document;
}

std::vector<uint8_t> ReadPicture(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxInputFileBytes)
        Fail("larger than " + std::to_string(kMaxInputFileBytes >> 20) + " MiB; zntool reads pictures up to that size");
    return ReadFileBytes(path, kMaxInputFileBytes);
}

}  // namespace

bool IsPictureInput(const std::string& path) {
    const std::string extension = FileExtension(path);
    return extension == ".gif" || extension == ".png";
}

int32_t RateFromGifDelay(int delay) {
    if (delay <= 1) return 6;
    return std::max<int32_t>(1, (int32_t(delay) * 60 + 50) / 100);
}

std::unique_ptr<TFrameIcon> IconFromImage(const IconImage& image) {
    // Sampled first, so only the 256 pixels kept are converted.
    const IconImage small = ScaleToFrame(image);
    Picture picture(kFrameSize, kFrameSize);
    for (int y = 0; y < kFrameSize; ++y)
        for (int x = 0; x < kFrameSize; ++x) picture.set(x, y, PictureColour(small.at(x, y)));
    return ReduceColours(picture);
}

TDocument LoadGifAnimation(std::span<const uint8_t> bytes, ReadBudget& budget) {
    TDocument document = EmptyDocument();
    // Only the 256 pixels of each frame's 16×16 frame are composed.
    ImageTarget target(ImageTarget::Size::Frame);
    const GifSummary summary = ComposeGif(bytes, target, budget, [&](const IconImage& frame, int delay) {
        budget.charge(kGifFrameIconUnits, "making a GIF frame a frame icon");
        document.AppendFrame(IconFromImage(frame), RateFromGifDelay(delay));
    });
    document.comments = summary.comments;
    return document;
}

TDocument LoadPngStrip(std::span<const uint8_t> bytes, int32_t rate, ReadBudget& budget) {
    const auto size = PngImageSize(bytes, budget);
    if (!size) Fail("not a PNG file");
    const uint64_t width = size->width, height = size->height;
    if (height == 0 || width % height != 0)
        Fail("a PNG strip holds square frames side by side, so its width must be a whole multiple of its "
             "height; this picture is " + std::to_string(width) + "×" + std::to_string(height));
    if (width / height > uint64_t(kMaxFrames))
        Fail("the strip has more than " + std::to_string(kMaxFrames) + " frames");
    if (width * height > kMaxStripPixels)
        Fail("the strip has more than " + std::to_string(kMaxStripPixels >> 20) + " M pixels");
    // The decoder charges its own work; each frame is then copied out and sampled.
    budget.chargePixels(width * height + (width / height) * kFrameSize * kFrameSize, "cutting a PNG strip into frames");

    IconImage strip;
    try {
        strip = DecodePngImage(bytes, {size->width, size->height}, budget);
    } catch (const EInvalidGraphic&) {
        Fail("the PNG's image data is damaged");
    }
    TDocument document = EmptyDocument();
    const int side = strip.height;
    IconImage frame{side, side, UninitialisedVector<Rgba>(size_t(side) * size_t(side))};
    for (int left = 0; left < strip.width; left += side) {
        for (int y = 0; y < side; ++y) {
            const auto row = strip.pixels.begin() + ptrdiff_t(y) * strip.width + left;
            std::copy(row, row + side, frame.pixels.begin() + ptrdiff_t(y) * side);
        }
        document.AppendFrame(IconFromImage(frame), rate);
    }
    return document;
}

TDocument LoadInput(const std::string& path, int32_t stripRate, ReadBudget& budget) {
    if (!IsPictureInput(path)) return LoadAnimation(path, budget);
    const std::vector<uint8_t> bytes = ReadPicture(path);
    // Pictures carry no title: the convert step names them after the file.
    return FileExtension(path) == ".gif" ? LoadGifAnimation(bytes, budget) : LoadPngStrip(bytes, stripRate, budget);
}
