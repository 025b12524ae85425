#include "formats/ZNFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <zlib.h>

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/FileBytes.h"
#include "formats/SafeSave.h"
#include "formats/UninitialisedAllocator.h"

namespace {

// Current layout.
constexpr std::string_view kMagic = "ZN";
constexpr std::string_view kCurrentTag = "FIL";  // bytes 2..4 of a current-layout payload
constexpr double kWrittenVersion = 3.0;
constexpr uint8_t kWrittenSpeed = 5;
constexpr int32_t kWrittenIconSize = int32_t(kFrameIconBytes);

// Legacy layout: fixed-width decimal text fields after "ZN".
constexpr size_t kLegacyVersionWidth = 3;
constexpr size_t kLegacyIconSizeWidth = 5;
constexpr size_t kLegacySpeedWidth = 2;
constexpr size_t kLegacyCountWidth = 2;
constexpr size_t kLegacyTitleWidth = 12;

std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A field's characters up to the first zero byte.
std::string UpToZero(std::span<const uint8_t> bytes) {
    std::string_view text = AsText(bytes);
    return std::string(text.substr(0, text.find('\0')));
}

std::string ReadString(ByteReader& in) {
    const int32_t length = in.i32le();
    if (length < 0) throw EReadError(messages::kStreamRead);
    return UpToZero(in.bytes(size_t(length)));
}

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

// A field as its message shows it: the text ends at a zero byte, so the
// message must too or it would lose its closing words.
std::string Shown(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

// A legacy header's decimal text field as a number of type T.
template <typename T>
T Decimal(std::span<const uint8_t> field, std::string (*message)(const std::string&)) {
    const std::string_view text = TrimControls(AsText(field));
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    T value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        throw EConvertError(message(Shown(text)));
    return value;
}

int32_t DecimalInteger(std::span<const uint8_t> field) { return Decimal<int32_t>(field, messages::NotAnInteger); }
double DecimalNumber(std::span<const uint8_t> field) { return Decimal<double>(field, messages::NotANumber); }

// The one rate every frame of a legacy file gets, by its speed code.
uint8_t LegacyRate(int32_t speedCode) {
    constexpr uint8_t kRates[] = {1, 3, 6, 9, 12, 15, 18, 21, 24};
    return speedCode >= 1 && speedCode <= 9 ? kRates[speedCode - 1] : 27;
}

using Payload = UninitialisedVector<uint8_t>;

// What zlib says went wrong, for the cause of an error.
std::string ZlibCause(const char* doing, const z_stream& stream, int status) {
    return std::string(doing) + ": " + (stream.msg ? stream.msg : zError(status));
}

// A failing zlib call as the user sees it: memory it could not get is the
// system's, anything else is damage in the file.
[[noreturn]] void FailInflating(const z_stream& stream, int status) {
    if (status == Z_MEM_ERROR) throw EOutOfResources(messages::kOutOfResources, ZlibCause("inflating", stream, status));
    throw EDecompressionError(messages::kInflate, "not a ZN file, or its compressed data is damaged");
}

// Inflates a file's stream step by step straight into the payload buffer,
// which zlib fills itself, and ends the stream however the read leaves.
// zlib's state points back at its z_stream, so the stream stays where it
// was made: neither copied nor moved.
class Inflation {
public:
    Inflation(std::span<const uint8_t> file, size_t firstBuffer) : m_firstBuffer(firstBuffer) {
        if (const int status = inflateInit(&m_stream); status != Z_OK) FailInflating(m_stream, status);
        m_stream.next_in = const_cast<Bytef*>(file.data());
        m_stream.avail_in = uInt(file.size());
    }
    ~Inflation() { inflateEnd(&m_stream); }
    Inflation(const Inflation&) = delete;
    Inflation& operator=(const Inflation&) = delete;

    // Inflates until the payload holds wanted bytes (at most the cap) or
    // the stream stops; true once it has stopped.
    bool InflateTo(size_t wanted, ReadBudget& budget) {
        while (m_status == Z_OK && m_size < wanted) {
            if (m_size == m_payload.size()) Grow(std::min(wanted, std::max(2 * m_size, m_firstBuffer)));
            const auto room = uInt(std::min<size_t>(m_payload.size() - m_size, UINT32_MAX));
            m_stream.next_out = m_payload.data() + m_size;
            m_stream.avail_out = room;
            m_status = inflate(&m_stream, Z_NO_FLUSH);
            m_size += room - m_stream.avail_out;
            budget.charge(room - m_stream.avail_out, "inflating a ZN file");
        }
        return m_status != Z_OK;
    }

    // Whether the stream would give a byte more than it has: one past the cap.
    bool HasMore() {
        if (m_status != Z_OK) return false;
        uint8_t probe;
        m_stream.next_out = &probe;
        m_stream.avail_out = 1;
        m_status = inflate(&m_stream, Z_NO_FLUSH);
        return m_stream.avail_out == 0;
    }

    std::span<const uint8_t> Inflated() const { return {m_payload.data(), m_size}; }

    // The payload once the whole stream, and nothing after it, has been read.
    Payload Whole() {
        // Z_BUF_ERROR here means the input ended inside the stream.
        if (m_status != Z_STREAM_END || m_stream.avail_in != 0) FailInflating(m_stream, m_status);
        return Taken();
    }
    // The payload so far, whether or not the stream was read to its end.
    Payload Taken() {
        m_payload.resize(m_size);
        return std::move(m_payload);
    }
    // A stream that stopped on damage rather than at its end.
    bool Failed() const { return m_status != Z_OK && m_status != Z_STREAM_END; }
    void Fail() const { FailInflating(m_stream, m_status); }

private:
    void Grow(size_t to) {
        m_payload.reserve(to);  // exactly: resize alone may take up to twice as much
        m_payload.resize(to);
    }

    z_stream m_stream{};
    size_t m_firstBuffer;
    Payload m_payload;
    size_t m_size = 0;
    int m_status = Z_OK;
};

// ZN payloads shrink about fourfold; reserving ahead saves regrowing.
size_t FirstBuffer(std::span<const uint8_t> file) {
    return std::min(kMaxZNPayload, std::max<size_t>(file.size() * 8, 4096));
}

Payload Inflate(std::span<const uint8_t> file, ReadBudget& budget) {
    Inflation inflation(file, FirstBuffer(file));
    // Grown by doubling, but never past the cap: a stream that inflates
    // further is refused.
    if (!inflation.InflateTo(kMaxZNPayload, budget) && inflation.HasMore())
        throw EReadError(messages::kStreamRead, "the compressed data inflates past the 64 MiB a ZN file may hold");
    return inflation.Whole();
}

// A deflate stream that ends however the write leaves; it stays where it
// was made, as an inflate stream does.
struct Deflation {
    z_stream stream{};
    Deflation() = default;
    Deflation(const Deflation&) = delete;
    Deflation& operator=(const Deflation&) = delete;
    ~Deflation() { deflateEnd(&stream); }
};

void PutU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void PutI32(std::vector<uint8_t>& out, int32_t value) {
    const uint32_t v = uint32_t(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(v >> shift));
}
void PutF64(std::vector<uint8_t>& out, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 64; shift += 8) out.push_back(uint8_t(bits >> shift));
}
void PutBytes(std::vector<uint8_t>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void PutString(std::vector<uint8_t>& out, std::string_view text) {
    PutI32(out, int32_t(text.size()));
    PutBytes(out, text);
}
// Optional fields are never stored empty: a blank one becomes the marker.
void PutOptionalString(std::vector<uint8_t>& out, std::string_view text) {
    PutString(out, IsBlank(text) ? kEmptyMarker : std::string_view(text));
}

}  // namespace

bool IsBlank(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > 32) return false;
    return true;
}

void TZNFile::Read(const std::string& path, ReadBudget& budget) {
    auto file = std::make_shared<const std::vector<uint8_t>>(ReadFileBytes(path, kMaxZNFile));
    ReadOwned(*file, file, budget);
}

void TZNFile::Read(const std::string& path) {
    ReadBudget budget;
    Read(path, budget);
}

void TZNFile::ReadBytes(std::span<const uint8_t> file, ReadBudget& budget) {
    // Only an uncompressed file is its own payload and needs keeping.
    if (file.size() >= 2 && AsText(file.first(2)) == kMagic) {
        auto copy = std::make_shared<const std::vector<uint8_t>>(file.begin(), file.end());
        ReadOwned(*copy, copy, budget);
    } else {
        ReadOwned(file, nullptr, budget);
    }
}

void TZNFile::ReadBytes(std::span<const uint8_t> file) {
    ReadBudget budget;
    ReadBytes(file, budget);
}

void TZNFile::ReadOwned(std::span<const uint8_t> file, std::shared_ptr<const void> owner, ReadBudget& budget) {
    Clear();
    budget.charge(file.size(), "reading a ZN file");
    // Parse into a fresh reader so that a failure leaves nothing behind.
    TZNFile result;
    const bool raw = file.size() >= 2 && AsText(file.first(2)) == kMagic;
    if (raw) {
        result.m_layout = ZNLayout::Uncompressed;
        result.ParsePayload(file, owner, kMaxFrames);
    } else {
        result.m_layout = ZNLayout::Compressed;
        const auto payload = std::make_shared<const Payload>(Inflate(file, budget));
        result.ParsePayload(*payload, payload, kMaxFrames);
    }
    *this = std::move(result);
}

void TZNFile::ReadFirstFrame(const std::string& path, ReadBudget& budget) {
    auto file = std::make_shared<const std::vector<uint8_t>>(ReadFileBytes(path, kMaxZNFile));
    ReadFirstFrameOwned(*file, file, budget);
}

void TZNFile::ReadFirstFrame(std::span<const uint8_t> file, ReadBudget& budget) {
    ReadFirstFrameOwned(file, nullptr, budget);
}

void TZNFile::ReadFirstFrameOwned(std::span<const uint8_t> file, std::shared_ptr<const void> owner,
                                  ReadBudget& budget) {
    Clear();
    budget.charge(file.size(), "reading a ZN file");
    TZNFile result;
    if (file.size() >= 2 && AsText(file.first(2)) == kMagic) {
        // Only an uncompressed file is its own payload and needs keeping.
        if (!owner) {
            auto copy = std::make_shared<const std::vector<uint8_t>>(file.begin(), file.end());
            file = *copy;
            owner = std::move(copy);
        }
        result.m_layout = ZNLayout::Uncompressed;
        result.ParsePayload(file, owner, 1);
        *this = std::move(result);
        return;
    }
    // Inflated in growing steps until the header and the first frame are
    // there: a step that ends inside them reads as a short payload.
    constexpr size_t kFirstStep = 4096;
    Inflation inflation(file, kFirstStep);
    for (size_t wanted = kFirstStep;; wanted = std::min(kMaxZNPayload, 2 * wanted)) {
        const bool stopped = inflation.InflateTo(wanted, budget);
        try {
            TZNFile probe;
            probe.ParsePayload(inflation.Inflated(), nullptr, 1);
            break;
        } catch (const EReadError&) {
            if (stopped && inflation.Failed()) inflation.Fail();
            if (stopped || wanted == kMaxZNPayload) throw;
        }
    }
    const auto payload = std::make_shared<const Payload>(inflation.Taken());
    result.m_layout = ZNLayout::Compressed;
    result.ParsePayload(*payload, payload, 1);
    *this = std::move(result);
}

void TZNFile::ParsePayload(std::span<const uint8_t> payload, const std::shared_ptr<const void>& owner,
                           int32_t maxFrames) {
    ByteReader in(payload);
    if (AsText(in.bytes(kMagic.size())) != kMagic) throw EZNError(messages::kNotZN);
    const auto tag = in.bytes(kCurrentTag.size());

    int32_t count = 0;
    int32_t iconSize = 0;
    if (AsText(tag) == kCurrentTag) {
        m_version = in.f64le();
        m_category = in.u8();
        m_title = ReadString(in);
        m_authorName = ReadString(in);
        m_copyright = ReadString(in);
        m_email = ReadString(in);
        m_homepage = ReadString(in);
        m_comments = ReadString(in);
        m_speed = in.u8();
        count = in.i32le();
    } else {
        m_layout = ZNLayout::Legacy;
        m_version = DecimalNumber(tag.first(kLegacyVersionWidth));
        iconSize = DecimalInteger(in.bytes(kLegacyIconSizeWidth));
        m_speed = LegacyRate(DecimalInteger(in.bytes(kLegacySpeedWidth)));
        count = DecimalInteger(in.bytes(kLegacyCountWidth));
        m_title = UpToZero(in.bytes(kLegacyTitleWidth));
    }
    if (count <= 0) return;
    // Frame numbers are 16-bit, and every frame needs at least its header
    // bytes: both bound what a count can make us allocate. A read of the
    // first frames alone has not got the later frames' bytes to count.
    const size_t perFrame = m_layout == ZNLayout::Legacy ? size_t(iconSize > 0 ? iconSize : 1) : 8;
    if (count > kMaxFrames) throw EReadError(messages::kStreamRead, "more frames than an animation can number");
    if (count <= maxFrames && size_t(count) > in.remaining() / perFrame)
        throw EReadError(messages::kStreamRead, "more frames announced than the file holds");
    count = std::min(count, maxFrames);

    m_icons.reserve(size_t(count));
    if (m_layout != ZNLayout::Legacy) m_rates.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        if (m_layout != ZNLayout::Legacy) {
            m_rates.push_back(in.i32le());
            iconSize = in.i32le();
        }
        if (iconSize <= 0) throw EReadError(messages::kStreamRead);
        m_icons.push_back(LoadFrameIcon(in.bytes(size_t(iconSize)), owner));
    }
}

void TZNFile::Clear() { *this = TZNFile(); }

int32_t TZNFile::Rate(int i) const {
    if (m_version >= kPerFrameRatesVersion) {
        // A legacy file claiming 3.0 or more has no per-frame rates.
        if (i < 0 || size_t(i) >= m_rates.size()) throw EReadError(messages::kStreamRead);
        return m_rates[size_t(i)];
    }
    if (i < 0 || i >= FrameCount()) throw EReadError(messages::kStreamRead);
    return m_speed;
}

const TFrameIcon& TZNFile::Icon(int i) const {
    if (i < 0 || i >= FrameCount()) throw EReadError(messages::kStreamRead);
    return m_icons[size_t(i)];
}

std::vector<uint8_t> ZNPayload(const ZNContent& content) {
    std::vector<uint8_t> out;
    out.reserve(128 + content.frames.size() * (8 + kFrameIconBytes));
    PutBytes(out, kMagic);
    PutBytes(out, kCurrentTag);
    PutF64(out, kWrittenVersion);
    PutU8(out, content.category);
    PutString(out, content.title);
    PutString(out, content.authorName);
    PutString(out, content.copyright);
    PutOptionalString(out, content.email);
    PutOptionalString(out, content.homepage);
    PutOptionalString(out, content.comments);
    PutU8(out, kWrittenSpeed);
    PutI32(out, int32_t(content.frames.size()));
    for (const ZNFrameData& frame : content.frames) {
        const std::span<const uint8_t> icon = frame.icon->bytes();  // an empty icon fails here
        PutI32(out, frame.rate);
        // Built icons are always kWrittenIconSize bytes; an icon kept as
        // loaded from elsewhere declares its own length so the file stays readable.
        PutI32(out, icon.size() == kFrameIconBytes ? kWrittenIconSize : int32_t(icon.size()));
        out.insert(out.end(), icon.begin(), icon.end());
    }
    return out;
}

std::vector<uint8_t> CompressZNPayload(std::span<const uint8_t> payload, ZlibAllocate allocate) {
    Deflation deflation;
    z_stream& stream = deflation.stream;
    stream.zalloc = allocate;
    constexpr int kWindowBits = 15, kMemoryLevel = 8;  // zlib's defaults, as compress2 uses
    int status = deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> file;
    if (status == Z_OK) {
        // One call does it all: the buffer holds the bound of any stream.
        file.resize(deflateBound(&stream, uLong(payload.size())));
        stream.next_in = const_cast<Bytef*>(payload.data());
        stream.avail_in = uInt(payload.size());
        stream.next_out = file.data();
        stream.avail_out = uInt(file.size());
        status = deflate(&stream, Z_FINISH);
    }
    if (status == Z_MEM_ERROR)
        throw EOutOfResources(messages::kOutOfResources, ZlibCause("compressing the animation", stream, status));
    if (status != Z_STREAM_END) throw std::logic_error(ZlibCause("compressing the animation", stream, status));
    file.resize(stream.total_out);
    return file;
}

std::vector<uint8_t> EncodeZNFile(const ZNContent& content) { return CompressZNPayload(ZNPayload(content)); }

void WriteZNFile(const std::string& path, const ZNContent& content) {
    // Everything is encoded before the disk is touched, so a frame that
    // cannot be written leaves the target alone.
    WriteFileAtomically(path, EncodeZNFile(content));
}
