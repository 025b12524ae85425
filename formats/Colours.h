#pragma once
// The colours every frame is made of: the 16 standard colours, the key
// colour that marks transparency, and the nearest-colour rule.
#include <array>
#include <cstdint>
#include <span>

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

// Transparent wherever it stands in a picture; not a standard colour.
inline constexpr Rgb kKeyColour{240, 240, 240};
inline constexpr Rgb kGridColour{200, 200, 200};

// The reduction table, in this order; the frame icon writer uses the same
// order for its colour table.
inline constexpr std::array<Rgb, 16> kStandardColours{{
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
}};

enum StandardColour : int {
    kBlack, kMaroon, kGreen, kOlive, kNavy, kPurple, kTeal, kGrey,
    kSilver, kRed, kLime, kYellow, kBlue, kFuchsia, kAqua, kWhite,
};

// Index of the standard colour nearest to c.
int NearestStandardIndex(Rgb c);
inline Rgb NearestStandardColour(Rgb c) { return kStandardColours[NearestStandardIndex(c)]; }
// Replaces each colour by its nearest standard colour: the same, in one
// tight loop for a whole frame's pixels.
void ReduceToStandardColours(std::span<Rgb> colours);
