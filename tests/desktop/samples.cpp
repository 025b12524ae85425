// Writes the files the desktop checks open, built like every other test
// input: a compressed and an uncompressed ZN file, the uncompressed one
// again under a name without an extension, an animated cursor and a file
// that only pretends to be a ZN file.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"

namespace {

// Red with a transparent top-left pixel, so a thumbnail shows both.
test::Bytes Icon(Rgb colour) {
    return test::BuildIcon(test::MakeImage(16, 16, [&](int x, int y) {
        return x == 0 && y == 0 ? test::Clear() : test::Opaque(colour);
    }));
}

void Write(const std::filesystem::path& path, const test::Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
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
    Write(folder / "bad.zn", test::Text("ZNFIL and then nothing"));
    return 0;
}
