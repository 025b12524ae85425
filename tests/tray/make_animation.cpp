// Writes an animation for the tray tests:
//
//   make_animation OUT.zn|OUT.ani [--frames N] RATE:COLOUR...
//
// Each frame is one standard colour (an index 0-15) with its top-left 4×4
// pixels transparent, or with a "p" after the colour, a pattern of colours
// starting from it (x xor y added to it); --frames repeats the list up to N
// frames.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/AnimationLoader.h"

namespace {

struct Frame {
    int32_t rate;
    int colour;
    bool pattern;
};

std::vector<uint8_t> Icon(const Frame& f) {
    return test::BuildIcon(test::MakeImage(16, 16, [&](int x, int y) {
        const int colour = (f.colour + (f.pattern ? x ^ y : 0)) % 16;
        return x < 4 && y < 4 ? test::Clear() : test::Opaque(kStandardColours[size_t(colour)]);
    }));
}

std::vector<uint8_t> ZN(const std::vector<Frame>& frames) {
    test::ZNBuilder zn;
    zn.currentHeader(int32_t(frames.size()), 3.0, 5, "Test Loop", "Tester");
    for (const Frame& f : frames) zn.frame(f.rate, Icon(f));
    return zn.compressed();
}

std::vector<uint8_t> Ani(const std::vector<Frame>& frames) {
    std::vector<test::Bytes> icons;
    std::vector<int32_t> rates, steps;
    for (size_t i = 0; i < frames.size(); ++i) {
        icons.push_back(test::Chunk("icon", Icon(frames[i])));
        rates.push_back(frames[i].rate);
        steps.push_back(int32_t(i));
    }
    const auto count = int32_t(frames.size());
    return test::Riff("ACON", {test::List("INFO", {test::Chunk("INAM", test::Text("Test Cursor"))}),
                               test::HeaderChunk({.frames = count, .steps = count, .rate = 6, .flags = 3}),
                               test::Chunk("rate", test::Words(rates)), test::Chunk("seq ", test::Words(steps)),
                               test::List("fram", icons)});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: make_animation OUT.zn|OUT.ani [--frames N] RATE:COLOUR...\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    size_t count = 0;
    std::vector<Frame> frames;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) count = std::stoul(argv[++i]);
        else frames.push_back({std::stoi(arg), std::stoi(arg.substr(arg.find(':') + 1)) % 16, arg.back() == 'p'});
    }
    for (size_t i = frames.size(); i < count; ++i) frames.push_back(frames[i % frames.size()]);
    const std::vector<uint8_t> bytes = KindOfPath(out) == AnimationKind::AnimatedCursor ? Ani(frames) : ZN(frames);
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return 0;
}
