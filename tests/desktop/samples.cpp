// Writes the files the desktop checks open, built like every other test
// input: a compressed and an uncompressed ZN file, the uncompressed one
// again under a name without an extension, an animated cursor, a damaged
// ZN file and one cut off after its first frame; and for the image loaders
// a file of three rates with the frames and delays a reader must give.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"

namespace {

// One colour with a transparent top-left pixel, so a thumbnail shows both.
IconImage Image(Rgb colour) {
    return test::MakeImage(16, 16, [&](int x, int y) { return x == 0 && y == 0 ? test::Clear() : test::Opaque(colour); });
}
test::Bytes Icon(Rgb colour) { return test::BuildIcon(Image(colour)); }

std::string Hex(const IconImage& image) {
    std::string text;
    char digits[9];
    for (const Rgba p : image.pixels) {
        std::snprintf(digits, sizeof digits, "%02x%02x%02x%02x", p.r, p.g, p.b, p.alpha);
        text += digits;
    }
    return text;
}

void Write(const std::filesystem::path& path, const test::Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Three frames of three rates, and in rates.frames what an image reader
// gives for them: the first frame as a still image, then every frame with
// its delay (rate × 1000 / 60 ms, rounded) and the first again as the loop
// starts over. Pixels are RGBA in hexadecimal, a transparent one 00000000.
void WriteRates(const std::filesystem::path& folder) {
    const IconImage images[] = {test::SampleFrame(), Image({255, 0, 0}), Image({0, 0, 255})};
    const int rates[] = {6, 12, 10}, delays[] = {100, 200, 167};
    test::ZNBuilder file;
    file.currentHeader(3, 3.0, 0, "Rates", "Ann");
    for (int i = 0; i < 3; ++i) file.frame(rates[i], test::BuildIcon(images[i]));
    Write(folder / "rates.zn", file.compressed());
    std::ofstream expected(folder / "rates.frames");
    expected << "still " << Hex(images[0]) << '\n';
    for (int i = 0; i <= 3; ++i) expected << "frame " << delays[i % 3] << ' ' << Hex(images[i % 3]) << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: desktop_samples FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const test::Bytes red = Icon({255, 0, 0}), blue = Icon({0, 0, 255});
    const test::ZNBuilder walk = test::ZNBuilder().currentHeader(2, 3.0, 0, "Walk", "Ann").frame(6, red).frame(6, blue);
    Write(folder / "walk one.zn", walk.compressed());
    Write(folder / "plain.zn", walk.payload());
    Write(folder / "plain copy", walk.payload());
    Write(folder / "spin.ani", test::SampleCursor({blue, red}));
    // A header that announces two frames, and none follow.
    Write(folder / "bad.zn", test::ZNBuilder().currentHeader(2, 3.0, 0, "Bad", "Ann").payload());
    // A first frame, then the second's header and nothing of its icon.
    Write(folder / "first only.zn",
          test::ZNBuilder().currentHeader(2, 3.0, 0, "Half", "Ann").frame(6, red).i32(6).i32(318).compressed());
    WriteRates(folder);
    return 0;
}
