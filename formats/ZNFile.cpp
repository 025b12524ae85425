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
#include "formats/InflatedBuffer.h"
#include "formats/Inflater.h"
#include "formats/SafeSave.h"

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

// Where the payload ends before a field it announces. For a read of the
// first frame alone more of the stream may hold it; for any other read it
// is the "Stream read error" of a short file.
class EndsEarly : public EReadError {
public:
    EndsEarly() : EReadError(messages::kStreamRead, "the payload ends early") {}
};

// The checked reader over a payload, failing with EndsEarly.
class PayloadReader {
public:
    explicit PayloadReader(std::span<const uint8_t> payload) : m_in(payload) {}
    size_t remaining() const { return m_in.remaining(); }
    uint8_t u8() { need(1); return m_in.u8(); }
    int32_t i32() { need(4); return m_in.i32le(); }
    double f64() { need(8); return m_in.f64le(); }
    std::span<const uint8_t> bytes(size_t n) { need(n); return m_in.bytes(n); }

private:
    void need(size_t n) const {
        if (n > m_in.remaining()) throw EndsEarly();
    }
    ByteReader m_in;
};

// A string field: its length, then as many bytes, of which the first
// kMaxTextFieldBytes are kept (up to a zero byte) and the rest passed over.
std::string ReadString(PayloadReader& in) {
    const int32_t length = in.i32();
    if (length < 0) throw EReadError(messages::kStreamRead, "a string of negative length");
    const auto bytes = in.bytes(size_t(length));
    return UpToZero(bytes.first(std::min(bytes.size(), kMaxTextFieldBytes)));
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

// A file starting with "ZN" is its own payload; any other is compressed.
bool IsUncompressed(std::span<const uint8_t> file) { return file.size() >= 2 && AsText(file.first(2)) == kMagic; }

// What zlib says went wrong, for the cause of an error.
std::string ZlibCause(const char* doing, const z_stream& stream, int status) {
    return std::string(doing) + ": " + (stream.msg ? stream.msg : zError(status));
}

// A failing stream as the user sees it: damage in the file.
[[noreturn]] void FailInflating() {
    throw EDecompressionError(messages::kInflate, "not a ZN file, or its compressed data is damaged");
}

constexpr const char* kInflating = "inflating a ZN file";
constexpr const char* kHolding = "a ZN file's payload";
// The stream is read with zlib's standard window, whatever its header says.
constexpr int kWindowBits = 15;
// ZN payloads shrink about fourfold; a first buffer of 8 times the file
// seldom needs to grow.
constexpr size_t kPayloadPerFileByte = 8;
// A frame record parsed: its header read, its icon's header checked and an
// icon made that shares the payload (bench/cost: records of 6-byte icons).
constexpr uint64_t kFrameRecordUnits = 12;
// A byte read from a file, or copied: the copy and the pages it fills.
constexpr uint64_t kFileByteSixteenths = 4;

// Inflates more of a stream into payload, up to wanted bytes or until the
// stream stops or its input ends; the payload's growth is held on budget.
void InflateTo(Inflater& inflater, InflatedBuffer& payload, size_t wanted, ReadBudget& budget,
               ReadBudget::Held& held) {
    wanted = std::min(wanted, payload.cap());
    while (payload.size() < wanted && !inflater.ended() && !inflater.damaged()) {
        if (payload.room() == 0) payload.reserve(std::max(2 * payload.size(), size_t(4096)));
        const size_t span = std::min(payload.room(), wanted - payload.size());
        const size_t written = inflater.inflate({payload.end(), span});
        payload.wrote(written);
        budget.grow(held, written, kHolding);
        if (written < span && !inflater.ended() && !inflater.damaged()) break;  // the input ended
    }
}

// The whole payload of a compressed file, which must be one zlib stream and
// nothing after it, inflating to at most kMaxZNPayload bytes.
InflatedBuffer InflateWhole(std::span<const uint8_t> file, ReadBudget& budget, ReadBudget::Held& held) {
    Inflater inflater(budget, kInflating, kWindowBits);
    inflater.give(file);
    // One byte past the cap tells a stream that inflates further.
    InflatedBuffer payload(kMaxZNPayload + 1);
    payload.reserve(std::max(file.size() * kPayloadPerFileByte, size_t(4096)));
    InflateTo(inflater, payload, payload.cap(), budget, held);
    if (payload.size() > kMaxZNPayload)
        throw EReadError(messages::kStreamRead, "the compressed data inflates past the 64 MiB a ZN file may hold");
    if (!inflater.ended() || inflater.unread() != 0) FailInflating();
    return payload;
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
    Clear();
    auto file = std::make_shared<const std::vector<uint8_t>>(ReadFileBytes(path, kMaxZNFile));
    budget.charge(file->size() * kFileByteSixteenths / 16, "reading a ZN file");
    ReadBudget::Held held = budget.hold(file->size(), "a ZN file's bytes");
    if (IsUncompressed(*file)) return Take(*file, file, std::move(held), ZNLayout::Uncompressed, kMaxFrames, budget);
    ReadBudget::Held payloadHeld;
    auto payload = std::make_shared<const InflatedBuffer>(InflateWhole(*file, budget, payloadHeld));
    file.reset();  // the compressed bytes are no longer needed
    held.reset();
    Take(payload->bytes(), payload, std::move(payloadHeld), ZNLayout::Compressed, kMaxFrames, budget);
}

void TZNFile::ReadBytes(std::span<const uint8_t> file, ReadBudget& budget) {
    Clear();
    if (IsUncompressed(file)) return TakeCopy(file, kMaxFrames, budget);
    ReadBudget::Held held;
    auto payload = std::make_shared<const InflatedBuffer>(InflateWhole(file, budget, held));
    Take(payload->bytes(), payload, std::move(held), ZNLayout::Compressed, kMaxFrames, budget);
}

void TZNFile::ReadFirstFrame(const std::string& path, ReadBudget& budget) {
    Clear();
    auto file = std::make_shared<const std::vector<uint8_t>>(ReadFileBytes(path, kMaxZNFile));
    budget.charge(file->size() * kFileByteSixteenths / 16, "reading a ZN file");
    ReadBudget::Held held = budget.hold(file->size(), "a ZN file's bytes");
    if (IsUncompressed(*file)) return Take(*file, file, std::move(held), ZNLayout::Uncompressed, 1, budget);
    TakeFirstFrame(*file, budget);
}

void TZNFile::ReadFirstFrame(std::span<const uint8_t> file, ReadBudget& budget) {
    Clear();
    if (IsUncompressed(file)) return TakeCopy(file, 1, budget);
    TakeFirstFrame(file, budget);
}

void TZNFile::TakeCopy(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget) {
    // Only an uncompressed file is its own payload, and needs keeping.
    budget.charge(file.size() * kFileByteSixteenths / 16, "reading a ZN file");
    ReadBudget::Held held = budget.hold(file.size(), "a ZN file's bytes");
    auto copy = std::make_shared<const std::vector<uint8_t>>(file.begin(), file.end());
    Take(*copy, copy, std::move(held), ZNLayout::Uncompressed, maxFrames, budget);
}

void TZNFile::TakeFirstFrame(std::span<const uint8_t> file, ReadBudget& budget) {
    // Inflated in doubling steps until the header and the first frame are
    // there; only a payload that ends early is worth another step.
    Inflater inflater(budget, kInflating, kWindowBits);
    inflater.give(file);
    InflatedBuffer payload(kMaxZNPayload);
    ReadBudget::Held payloadHeld;
    for (size_t wanted = 4096;; wanted *= 2) {
        InflateTo(inflater, payload, wanted, budget, payloadHeld);
        try {
            TZNFile probe;
            probe.ParsePayload(payload.bytes(), nullptr, 1, budget);
            break;
        } catch (const EndsEarly&) {
            if (inflater.damaged()) FailInflating();
            if (payload.size() < std::min(wanted, payload.cap())) throw;  // the stream has no more
        }
    }
    auto owned = std::make_shared<const InflatedBuffer>(std::move(payload));
    Take(owned->bytes(), owned, std::move(payloadHeld), ZNLayout::Compressed, 1, budget);
}

void TZNFile::Take(std::span<const uint8_t> payload, std::shared_ptr<const void> owner, ReadBudget::Held held,
                   ZNLayout layout, int32_t maxFrames, ReadBudget& budget) {
    // Parsed into a fresh reader so that a failure leaves nothing behind.
    TZNFile result;
    result.m_layout = layout;
    result.ParsePayload(payload, owner, maxFrames, budget);
    result.m_held = std::move(held);
    *this = std::move(result);
}

void TZNFile::ParsePayload(std::span<const uint8_t> payload, const std::shared_ptr<const void>& owner,
                           int32_t maxFrames, ReadBudget& budget) {
    PayloadReader in(payload);
    if (AsText(in.bytes(kMagic.size())) != kMagic) throw EZNError(messages::kNotZN);
    const auto tag = in.bytes(kCurrentTag.size());

    int32_t count = 0;
    int32_t iconSize = 0;
    if (AsText(tag) == kCurrentTag) {
        m_version = in.f64();
        m_category = in.u8();
        m_title = ReadString(in);
        m_authorName = ReadString(in);
        m_copyright = ReadString(in);
        m_email = ReadString(in);
        m_homepage = ReadString(in);
        m_comments = ReadString(in);
        m_speed = in.u8();
        count = in.i32();
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
    if (count <= maxFrames && size_t(count) > in.remaining() / perFrame) throw EndsEarly();
    count = std::min(count, maxFrames);

    budget.charge(uint64_t(count) * kFrameRecordUnits, "reading a ZN file's frames");
    m_icons.reserve(size_t(count));
    if (m_layout != ZNLayout::Legacy) m_rates.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        if (m_layout != ZNLayout::Legacy) {
            m_rates.push_back(in.i32());
            iconSize = in.i32();
        }
        if (iconSize <= 0) throw EReadError(messages::kStreamRead, "an icon of no bytes");
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
