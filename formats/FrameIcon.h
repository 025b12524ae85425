#pragma once
// A frame's image in the icon (.ico) layout. In memory an icon is empty,
// built (16×16 colours with a transparency flag per pixel) or loaded (the
// bytes read from a file, decoded on first use). Icons never change once
// made; a new image means a new icon.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "formats/Colours.h"
#include "formats/ReadBudget.h"
#include "formats/UninitialisedAllocator.h"

class ImageTarget;

// One decoded pixel. alpha 0 is transparent and 255 opaque; only 32-bit
// images with an alpha channel have values in between.
struct Rgba {
    // No member initialisers: Rgba{} is all zero, and image buffers need not
    // be cleared before they are filled.
    uint8_t r, g, b, alpha;
    Rgb rgb() const { return {r, g, b}; }
    bool transparent() const { return alpha == 0; }
    friend constexpr bool operator==(Rgba, Rgba) = default;
};

// An icon image at its stored size.
struct IconImage {
    int width = 0;
    int height = 0;
    UninitialisedVector<Rgba> pixels;  // row-major, top row first

    Rgba at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    friend bool operator==(const IconImage&, const IconImage&) = default;
};

inline constexpr int kFrameSize = 16;          // frames are 16×16 pixels
inline constexpr size_t kFrameIconBytes = 318; // what the writer produces

// The one rule by which any image is brought to 16×16: target pixel t of a
// row or column takes source pixel ⌊t·size/16⌋. A 16×16 image passes
// unchanged and a 32×32 image doubled from a 16×16 one comes back exactly.
constexpr int FrameSourceIndex(int target, int64_t sourceSize) {
    return int(target * sourceSize / kFrameSize);
}

class TFrameIcon {
public:
    enum class State { Empty, Built, Loaded };

    TFrameIcon() = default;  // empty: no image and no bytes

    // A built icon from a 16×16 image whose pixels are opaque (alpha 255) or
    // transparent (alpha 0, colour black).
    static std::unique_ptr<TFrameIcon> Built(IconImage image);
    // A built icon from bytes that IsWrittenFrameIcon accepts, lying in a
    // buffer that owner keeps alive: it keeps them as its encoding and
    // decodes its image from them on first use.
    static std::unique_ptr<TFrameIcon> Written(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner);
    // A loaded icon holding bytes of its own (no check: LoadFrameIcon checks).
    static std::unique_ptr<TFrameIcon> Loaded(std::vector<uint8_t> bytes);
    // A loaded icon whose bytes lie in a buffer that owner keeps alive, so
    // that the frames of one file share that file's buffer uncopied.
    static TFrameIcon Loaded(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner);
    // The same for bytes IsWrittenFrameIcon accepts: a built icon, as Written.
    static TFrameIcon Kept(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner);

    // A built icon that holds its encoding (the writer's bytes, shared):
    // a copy of it is the same icon, and decodes from those bytes.
    bool keepsWrittenBytes() const { return m_state == State::Built && m_owner; }

    State state() const { return m_state; }
    bool empty() const { return m_state == State::Empty; }

    // The bytes to store: encoded once for a built icon, the loaded bytes
    // unchanged for a loaded one. An empty icon fails with EInvalidGraphic.
    std::span<const uint8_t> bytes() const;
    // A built icon's image, which needs no read. EInvalidGraphic for an
    // empty icon. A loaded icon's image is decoded within a read, on that
    // read's budget (the overload below): asking for it here is a caller's
    // fault (std::logic_error).
    const IconImage& image() const;
    // The image at its stored size: a built icon's own, a loaded icon's
    // decoded on first use and kept, charged to the read's budget.
    const IconImage& image(ReadBudget& budget) const;
    // The image into target, whole or as its 16×16 frame: from the image
    // there is, or else straight from a loaded icon's bytes, keeping nothing.
    void decode(ImageTarget& target, ReadBudget& budget) const;

private:
    State m_state = State::Empty;
    // Built: the image, or until first use for a written icon none. Loaded:
    // the decoded image once a read has asked for it.
    mutable std::optional<IconImage> m_image;
    // Loaded: the bytes as read. Built: the encoding, once there is one.
    mutable std::span<const uint8_t> m_bytes;
    mutable std::shared_ptr<const void> m_owner;  // keeps m_bytes alive
};

// What a file's frame icon is, checked where it is read: the writer's own
// bytes (IsWrittenFrameIcon), or another icon whose 6-byte header holds;
// EInvalidGraphic for any other.
enum class FrameIconKind { Written, Other };
FrameIconKind CheckFrameIcon(std::span<const uint8_t> bytes);

// LoadFrameIcon: checks the 6-byte header and keeps the bytes.
std::unique_ptr<TFrameIcon> LoadFrameIcon(std::vector<uint8_t> bytes);
// The same for bytes inside a buffer that owner keeps alive: nothing is copied.
TFrameIcon LoadFrameIcon(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner);
// The 318 bytes of a built 16×16 icon.
std::vector<uint8_t> EncodeFrameIcon(const IconImage& image);
// Whether bytes are exactly what EncodeFrameIcon makes of some image, which
// then decodes without a read's budget: the header, the standard colours,
// and black under every transparent pixel.
bool IsWrittenFrameIcon(std::span<const uint8_t> bytes);
// The 16×16 pixels such bytes hold, top row first.
void DecodeWrittenFrameIcon(std::span<const uint8_t> bytes, Rgba* pixels);
// The image a loaded icon's bytes hold, chosen for a display with
// deviceColours colours (0: true colour), into target: whole, or only the
// 16×16 frame, whose pixels are read from the stored rows without decoding
// the rest (a PNG entry is read only as far as the last row the frame
// takes, so damage past it goes unnoticed). Charged to the read's budget.
void DecodeFrameIcon(std::span<const uint8_t> bytes, ImageTarget& target, ReadBudget& budget,
                     uint16_t deviceColours = 0);
// Whether the entry the icon shows (to a true-colour display) is stored as
// PNG, so that even its 16×16 frame is inflated: far more work than reading
// the icon's bytes once. The choice is charged as decoding charges it.
bool ShowsPngEntry(std::span<const uint8_t> bytes, ReadBudget& budget);
// Any image brought to 16×16 by FrameSourceIndex; an image without pixels
// gives a wholly transparent one.
IconImage ScaleToFrame(const IconImage& image);
// What an icon of type 0 shows: the application's own small icon.
const IconImage& StandardApplicationIcon();
