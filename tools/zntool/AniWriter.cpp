#include "AniWriter.h"

#include <string>
#include <string_view>

#include "core/Document.h"
#include "core/FrameTiming.h"

namespace {

constexpr uint32_t kHeaderSize = 36;  // nine 32-bit words
constexpr uint32_t kFramesAreIcons = 1;  // header flag bit 0

class RiffWriter {
public:
    void id(std::string_view fourCC) { m_bytes.insert(m_bytes.end(), fourCC.begin(), fourCC.begin() + 4); }
    void u32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) m_bytes.push_back(uint8_t(v >> shift));
    }
    void bytes(const uint8_t* data, size_t size) { m_bytes.insert(m_bytes.end(), data, data + size); }

    // Starts a chunk whose size is filled in by end().
    size_t begin(std::string_view fourCC) {
        id(fourCC);
        u32(0);
        return m_bytes.size();
    }
    void end(size_t start) {
        const auto size = uint32_t(m_bytes.size() - start);
        for (int k = 0; k < 4; ++k) m_bytes[start - 4 + size_t(k)] = uint8_t(size >> (8 * k));
        // An odd-sized chunk is followed by a pad byte that its size leaves out.
        if (size % 2) m_bytes.push_back(0);
    }

    std::vector<uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

// Cursor readers expect the text chunks to end in a zero byte.
void TextChunk(RiffWriter& out, std::string_view fourCC, const std::string& text) {
    const size_t chunk = out.begin(fourCC);
    out.bytes(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
    out.end(chunk);
}

}  // namespace

std::vector<uint8_t> EncodeAnimatedCursor(const TDocument& document) {
    const auto count = uint32_t(document.Count());
    RiffWriter out;
    const size_t form = out.begin("RIFF");
    out.id("ACON");

    // The header comes first: readers such as gdk-pixbuf refuse a form
    // that opens with anything else.
    const size_t header = out.begin("anih");
    out.u32(kHeaderSize);
    out.u32(count);  // stored images
    out.u32(count);  // steps: each image once, in order, so no "seq " chunk
    for (int unused = 0; unused < 4; ++unused) out.u32(0);  // size and depth come from the icons
    out.u32(count > 0 ? CursorRate(document.FrameAt(1).rate) : 0);
    out.u32(kFramesAreIcons);
    out.end(header);

    const size_t info = out.begin("LIST");
    out.id("INFO");
    TextChunk(out, "INAM", document.title);
    TextChunk(out, "IART", document.authorName);
    out.end(info);

    const size_t rates = out.begin("rate");
    for (int n = 1; n <= document.Count(); ++n) out.u32(CursorRate(document.FrameAt(n).rate));
    out.end(rates);

    const size_t frames = out.begin("LIST");
    out.id("fram");
    for (int n = 1; n <= document.Count(); ++n) {
        const std::span<const uint8_t> icon = document.FrameAt(n).icon->bytes();
        const size_t chunk = out.begin("icon");
        out.bytes(icon.data(), icon.size());
        out.end(chunk);
    }
    out.end(frames);

    out.end(form);
    return out.take();
}
