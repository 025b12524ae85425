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
    std::vector<Rgba> pixels;  // row-major, top row first

    Rgba at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    friend bool operator==(const IconImage&, const IconImage&) = default;
};

inline constexpr int kFrameSize = 16;          // frames are 16×16 pixels
inline constexpr size_t kFrameIconBytes = 318; // what the writer produces

class TFrameIcon {
public:
    enum class State { Empty, Built, Loaded };

    TFrameIcon() = default;  // empty: no image and no bytes

    // A built icon from a 16×16 image whose pixels are opaque (alpha 255) or
    // transparent (alpha 0, colour black).
    static std::unique_ptr<TFrameIcon> Built(IconImage image);
    // LoadFrameIcon: checks the 6-byte header and keeps the bytes.
    static std::unique_ptr<TFrameIcon> Loaded(std::vector<uint8_t> bytes);

    State state() const { return m_state; }
    bool empty() const { return m_state == State::Empty; }

    // The bytes to store: encoded once for a built icon, the loaded bytes
    // unchanged for a loaded one. An empty icon fails with EInvalidGraphic.
    const std::vector<uint8_t>& bytes() const;
    // The image: a built icon's own, a loaded icon's decoded on first use.
    // An empty icon fails with EInvalidGraphic.
    const IconImage& image() const;

private:
    State m_state = State::Empty;
    mutable std::optional<IconImage> m_image;
    mutable std::optional<std::vector<uint8_t>> m_bytes;
};

std::unique_ptr<TFrameIcon> LoadFrameIcon(std::vector<uint8_t> bytes);
// The 318 bytes of a built 16×16 icon.
std::vector<uint8_t> EncodeFrameIcon(const IconImage& image);
// The image a loaded icon's bytes hold, chosen for a display with
// deviceColours colours (0: true colour).
IconImage DecodeFrameIcon(std::span<const uint8_t> bytes, uint16_t deviceColours = 0);
// What an icon of type 0 shows: the application's own small icon.
const IconImage& StandardApplicationIcon();
