// Our LZW decoder against giflib's, index for index, on data as encoders
// write it and as no encoder would.
#include "formats/GifLzwDecoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "builders/GifBuilder.h"
#include "formats/ReadBudget.h"

namespace {

using test::GifBuilder;
using test::GifCodes;
using test::GifImage;
using Bytes = std::vector<uint8_t>;

// Each image's indices in the order stored, then giflib's error code or 0.
struct Decoded {
    std::vector<Bytes> images;
    int error = 0;
    friend bool operator==(const Decoded&, const Decoded&) = default;
};

void PrintTo(const Decoded& d, std::ostream* out) { *out << d.images.size() << " images, error " << d.error; }

struct Source {
    const Bytes& bytes;
    size_t at = 0;
};

int Read(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<Source*>(gif->UserData);
    const size_t n = std::min(size_t(length), source->bytes.size() - source->at);
    std::memcpy(out, source->bytes.data() + source->at, n);
    source->at += n;
    return int(n);
}

// Walks the records, handing each image to decodeImage; stops at the first
// error.
template <typename DecodeImage>
Decoded Walk(const Bytes& bytes, DecodeImage decodeImage) {
    Source source{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, Read, &error);
    if (!gif) return {{}, error};
    Decoded decoded;
    for (GifRecordType type = UNDEFINED_RECORD_TYPE; type != TERMINATE_RECORD_TYPE && decoded.error == 0;) {
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            int read = DGifGetExtension(gif, &code, &block);
            while (read == GIF_OK && block) read = DGifGetExtensionNext(gif, &block);
            if (read == GIF_ERROR) decoded.error = gif->Error;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageHeader(gif) == GIF_ERROR) {
                decoded.error = gif->Error;
                break;
            }
            Bytes image(size_t(gif->Image.Width) * size_t(gif->Image.Height));
            decoded.error = decodeImage(gif, image);
            decoded.images.push_back(image);
        }
    }
    DGifCloseFile(gif, nullptr);
    return decoded;
}

Decoded ByGiflib(const Bytes& bytes) {
    return Walk(bytes, [](GifFileType* gif, Bytes& image) {
        return DGifGetLine(gif, image.data(), int(image.size())) == GIF_ERROR ? gif->Error : 0;
    });
}

// In pieces of 7 indices, so strings are cut across calls.
Decoded ByOurs(const Bytes& bytes) {
    return Walk(bytes, [](GifFileType* gif, Bytes& image) {
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return gif->Error;
        bool first = true, failed = false;
        ReadBudget budget;
        GifLzwDecoder lzw(codeSize, budget, [&]() -> std::span<const uint8_t> {
            if (!first && DGifGetCodeNext(gif, &block) == GIF_ERROR) failed = true;
            first = false;
            return block && !failed ? std::span<const uint8_t>(block + 1, block[0]) : std::span<const uint8_t>();
        });
        for (size_t at = 0; at < image.size(); at += 7) {
            const auto result = lzw.decode(std::span(image).subspan(at, std::min<size_t>(7, image.size() - at)));
            if (failed) return D_GIF_ERR_READ_FAILED;
            if (result == GifLzwDecoder::Result::EndCode) return D_GIF_ERR_EOF_TOO_SOON;
            if (result != GifLzwDecoder::Result::Done) return D_GIF_ERR_IMAGE_DEFECT;
        }
        lzw.skipRest();
        return failed ? D_GIF_ERR_READ_FAILED : 0;
    });
}

Bytes Random(size_t count, int colours, unsigned seed) {
    std::mt19937 random(seed);
    Bytes indices(count);
    for (uint8_t& index : indices) index = uint8_t(random() % unsigned(colours));
    return indices;
}

std::vector<Rgb> Colours(int count) { return std::vector<Rgb>(size_t(count), Rgb{1, 2, 3}); }

// A GIF of giflib's own encoding.
Bytes Encoded(int width, int height, int colours, bool interlace = false) {
    std::mt19937 random{unsigned(colours)};
    // Runs of index 0 among noise.
    GifImage image = test::GifRect(0, 0, width, height, [&](int, int) {
        return random() % unsigned(colours) < 3 ? 0 : random() % unsigned(colours);
    });
    image.interlace = interlace;
    return GifBuilder(width, height, Colours(colours)).image(image).bytes();
}

// A GIF whose one width × height image has the data given.
Bytes Written(int width, int height, const Bytes& data) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.data = data;
    return GifBuilder(width, height, Colours(256)).image(image).bytes();
}

TEST(GifLzwDecoder, DecodesAsGiflibDoes) {
    const Bytes noise = Random(9000, 4, 1), wide = Random(40000, 256, 2);
    const Bytes firstPart(noise.begin(), noise.begin() + 4000), lastPart(noise.begin() + 4000, noise.end());
    Bytes cut = Written(90, 100, GifCodes(2).pixels(noise).end().data(20));
    cut.resize(cut.size() - 30);
    const std::vector<std::tuple<std::string, Bytes, int>> cases{
        {"two colours, giflib's encoding", Encoded(33, 17, 2), 0},
        {"sixteen colours", Encoded(40, 30, 16), 0},
        {"256 colours, tables filled and cleared", Encoded(200, 200, 256), 0},
        {"interlaced, in the order stored", Encoded(31, 29, 8, true), 0},
        {"code size 0", Written(60, 100, GifCodes(0).pixels(Bytes(6000, 0)).end().data()), 0},
        {"code size 1", Written(90, 100, GifCodes(1).pixels(Random(9000, 2, 3)).end().data()), 0},
        {"code size 8 for four colours", Written(90, 100, GifCodes(8).pixels(noise).end().data()), 0},
        {"a full table kept without a clear", Written(200, 200, GifCodes(8).pixels(wide, true).end().data()), 0},
        {"one index throughout: codes that define themselves",
         Written(60, 100, GifCodes(2).pixels(Bytes(6000, 0)).end().data()), 0},
        {"clear codes before and between",
         Written(90, 100, GifCodes(2).clear(3000).pixels(firstPart).pixels(lastPart).data()), 0},
        {"sub-blocks of one byte", Written(90, 100, GifCodes(2).pixels(noise).end().data(1)), 0},
        {"no end code", Written(90, 100, GifCodes(2).pixels(noise).data(7)), 0},
        {"codes after the last index", Written(90, 99, GifCodes(2).pixels(noise).end().data()), 0},
        {"an end code before the last index", Written(90, 101, GifCodes(2).pixels(noise).end().data()),
         D_GIF_ERR_EOF_TOO_SOON},
        {"data that ends before the last index", Written(90, 101, GifCodes(2).pixels(noise).data()),
         D_GIF_ERR_IMAGE_DEFECT},
        {"a file cut inside the data", cut, D_GIF_ERR_READ_FAILED},
        {"a first code that is no index", Written(9, 9, GifCodes(2).code(6).pixels(noise).data()),
         D_GIF_ERR_IMAGE_DEFECT},
    };
    for (const auto& [name, gif, error] : cases) {
        const Decoded giflib = ByGiflib(gif);
        EXPECT_EQ(giflib.error, error) << name;
        EXPECT_EQ(ByOurs(gif), giflib) << name;
    }
}

// giflib makes indices up for a code it has no string for yet; browsers
// stop there, and so do we.
TEST(GifLzwDecoder, RefusesACodeBeyondTheNextEntry) {
    const Bytes gif = Written(9, 9, GifCodes(2).pixels({1, 2, 3}).code(15).pixels(Random(78, 4, 4)).data());
    EXPECT_EQ(ByGiflib(gif).error, 0);
    EXPECT_EQ(ByOurs(gif).error, D_GIF_ERR_IMAGE_DEFECT);
}

TEST(GifLzwDecoder, ChargesEveryCodeAndIndex) {
    const Bytes data = GifCodes(2).clear(1000).pixels(Bytes(50, 1)).end().data();
    ReadBudget budget;
    size_t at = 1;
    GifLzwDecoder lzw(2, budget, [&] {
        const auto block = std::span<const uint8_t>(data).subspan(at + 1, data[at]);
        at += 1 + block.size();
        return block;
    });
    Bytes out(50);
    ASSERT_EQ(lzw.decode(out), GifLzwDecoder::Result::Done);
    EXPECT_EQ(out, Bytes(50, 1));
    // The call, a unit for every two indices, and 1000 clear codes, then
    // 1 + 2 + 3 + … up to the 50 indices: 10 codes, each two units.
    EXPECT_EQ(budget.spent(), 4 + 50 / 2 + 2 * 1010);
}

}  // namespace
