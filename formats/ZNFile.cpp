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
// A record's icon of the writer's size checked against what the writer
// makes (bench/cost: records of the writer's icons).
constexpr uint64_t kWrittenCheckUnits = 16;
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

}  // namespace

// Where a payload's bytes come from: all of them at hand (an uncompressed
// file), or a stream inflated as the parse reaches them, a step at a time,
// so that each record is parsed and its icon checked while the bytes zlib
// has just written are in the cache (a payload larger than the caches is
// then read from memory once, not again). The bytes may move as the
// buffer grows: a parse keeps offsets.
class PayloadSource {
public:
    explicit PayloadSource(std::span<const uint8_t> bytes) : m_fixed(bytes) {}
    // A first-frame read inflates in doubling steps from a page, taking no
    // more of the stream than it needs; a whole read in steps of a size
    // that stays in the cache.
    PayloadSource(Inflater& inflater, InflatedBuffer& buffer, bool whole, ReadBudget& budget, ReadBudget::Held& held)
        : m_inflater(&inflater), m_buffer(&buffer), m_whole(whole), m_budget(&budget), m_held(&held) {}

    const uint8_t* data() const { return m_buffer ? m_buffer->bytes().data() : m_fixed.data(); }
    size_t size() const { return m_buffer ? m_buffer->size() : m_fixed.size(); }
    // At least wanted more bytes if the stream has them; false when it
    // gives none.
    bool more(size_t wanted) {
        if (!m_buffer) return false;
        const size_t before = size();
        const size_t step = m_whole ? kWholeStep : std::max(before, size_t(4096));
        InflateTo(*m_inflater, *m_buffer, before + std::max(wanted, step), *m_budget, *m_held);
        return size() > before;
    }
    // What a whole read checks once its frames are parsed: one zlib stream,
    // nothing after it, at most kMaxZNPayload bytes.
    void finish() {
        if (!m_buffer || !m_whole) return;
        InflateTo(*m_inflater, *m_buffer, m_buffer->cap(), *m_budget, *m_held);
        if (m_buffer->size() > kMaxZNPayload)
            throw EReadError(messages::kStreamRead, "the compressed data inflates past the 64 MiB a ZN file may hold");
        if (!m_inflater->ended() || m_inflater->unread() != 0) FailInflating();
    }
    // What comes before a parse's failure, as if the payload had been
    // inflated first: a whole read's stream faults, and a first-frame read
    // that ran out of a damaged stream is told so.
    void failed(bool endedEarly) {
        finish();
        if (endedEarly && m_inflater && m_inflater->damaged()) FailInflating();
    }

private:
    static constexpr size_t kWholeStep = size_t(256) << 10;

    std::span<const uint8_t> m_fixed;
    Inflater* m_inflater = nullptr;
    InflatedBuffer* m_buffer = nullptr;
    bool m_whole = true;
    ReadBudget* m_budget = nullptr;
    ReadBudget::Held* m_held = nullptr;
};

namespace {

// The checked reader over a payload, failing with EndsEarly where the
// payload has no more bytes.
class PayloadReader {
public:
    explicit PayloadReader(PayloadSource& source) : m_source(source) {}
    size_t position() const { return m_position; }
    uint8_t u8() { return *take(1); }
    int32_t i32() { return ByteReader(take(4), 4).i32le(); }
    double f64() { return ByteReader(take(8), 8).f64le(); }
    // Valid until the next read.
    std::span<const uint8_t> bytes(size_t n) { return {take(n), n}; }

private:
    const uint8_t* take(size_t n) {
        while (n > m_source.size() - m_position)
            if (!m_source.more(n - (m_source.size() - m_position))) throw EndsEarly();
        const uint8_t* at = m_source.data() + m_position;
        m_position += n;
        return at;
    }
    PayloadSource& m_source;
    size_t m_position = 0;
};

// A string field: its length, then as many bytes, of which the first
// kMaxTextFieldBytes are kept (up to a zero byte) and the rest passed over.
std::string ReadString(PayloadReader& in) {
    const int32_t length = in.i32();
    if (length < 0) throw EReadError(messages::kStreamRead, "a string of negative length");
    const auto bytes = in.bytes(size_t(length));
    return UpToZero(bytes.first(std::min(bytes.size(), kMaxTextFieldBytes)));
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

void TZNFile::Read(const std::string& path, ReadBudget& budget) { ReadFile(path, kMaxFrames, budget); }
void TZNFile::ReadBytes(std::span<const uint8_t> file, ReadBudget& budget) { ReadFrom(file, kMaxFrames, budget); }
void TZNFile::ReadFirstFrame(const std::string& path, ReadBudget& budget) { ReadFile(path, 1, budget); }
void TZNFile::ReadFirstFrame(std::span<const uint8_t> file, ReadBudget& budget) { ReadFrom(file, 1, budget); }

void TZNFile::ReadFile(const std::string& path, int32_t maxFrames, ReadBudget& budget) {
    Clear();
    auto file = std::make_shared<const std::vector<uint8_t>>(ReadFileBytes(path, kMaxZNFile));
    budget.charge(file->size() * kFileByteSixteenths / 16, "reading a ZN file");
    ReadBudget::Held held = budget.hold(file->size(), "a ZN file's bytes");
    if (IsUncompressed(*file)) return TakeFixed(*file, file, std::move(held), maxFrames, budget);
    TakeCompressed(*file, maxFrames, budget);  // the compressed bytes are let go on return
}

void TZNFile::ReadFrom(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget) {
    Clear();
    if (IsUncompressed(file)) return TakeCopy(file, maxFrames, budget);
    TakeCompressed(file, maxFrames, budget);
}

void TZNFile::TakeCopy(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget) {
    // Only an uncompressed file is its own payload, and needs keeping.
    budget.charge(file.size() * kFileByteSixteenths / 16, "reading a ZN file");
    ReadBudget::Held held = budget.hold(file.size(), "a ZN file's bytes");
    auto copy = std::make_shared<const std::vector<uint8_t>>(file.begin(), file.end());
    TakeFixed(*copy, copy, std::move(held), maxFrames, budget);
}

void TZNFile::TakeFixed(std::span<const uint8_t> payload, std::shared_ptr<const void> owner, ReadBudget::Held held,
                        int32_t maxFrames, ReadBudget& budget) {
    m_layout = ZNLayout::Uncompressed;
    PayloadSource source(payload);
    Parse(source, maxFrames, budget);
    KeepIcons(payload, owner);
    m_held = std::move(held);
}

void TZNFile::TakeCompressed(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget) {
    // A whole read inflates the stream to its end, one byte past the cap
    // telling a stream that inflates further; a first-frame read no more of
    // it than the header and the first frame take.
    const bool whole = maxFrames == kMaxFrames;
    Inflater inflater(budget, kInflating, kWindowBits);
    inflater.give(file);
    auto payload = std::make_shared<InflatedBuffer>(whole ? kMaxZNPayload + 1 : kMaxZNPayload);
    if (whole) payload->reserve(std::max(file.size() * kPayloadPerFileByte, size_t(4096)));
    ReadBudget::Held held;
    PayloadSource source(inflater, *payload, whole, budget, held);
    Parse(source, maxFrames, budget);
    KeepIcons(payload->bytes(), payload);
    m_held = std::move(held);
}

void TZNFile::Parse(PayloadSource& source, int32_t maxFrames, ReadBudget& budget) {
    // A failure leaves nothing behind.
    try {
        ParsePayload(source, maxFrames, budget);
    } catch (...) {
        Clear();
        throw;
    }
}

void TZNFile::ParsePayload(PayloadSource& source, int32_t maxFrames, ReadBudget& budget) {
    PayloadReader in(source);
    int32_t count = 0;
    size_t perFrame = 8;  // a record's header, the least a frame takes
    size_t framesAt = 0;
    try {
        if (AsText(in.bytes(kMagic.size())) != kMagic) throw EZNError(messages::kNotZN);
        const auto tag = in.bytes(kCurrentTag.size());
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
            perFrame = size_t(iconSize > 0 ? iconSize : 1);
        }
        framesAt = in.position();
        if (count <= 0) {
            source.finish();
            return;
        }
        if (count > kMaxFrames) throw EReadError(messages::kStreamRead, "more frames than an animation can number");
        count = std::min(count, maxFrames);
        budget.charge(uint64_t(count) * kFrameRecordUnits, "reading a ZN file's frames");
        // At most kMaxFrames records of 16 bytes, whatever the payload holds.
        m_frames.reserve(size_t(count));
        for (int32_t i = 0; i < count; ++i) {
            int32_t rate = 0;
            if (m_layout != ZNLayout::Legacy) {
                rate = in.i32();
                iconSize = in.i32();
            }
            if (iconSize <= 0) throw EReadError(messages::kStreamRead, "an icon of no bytes");
            const size_t at = in.position();
            const auto icon = in.bytes(size_t(iconSize));
            // Checked now, while zlib's output is in the cache.
            if (icon.size() == kFrameIconBytes) budget.charge(kWrittenCheckUnits, "checking a frame");
            m_frames.push_back({uint32_t(at), uint32_t(iconSize), CheckFrameIcon(icon), rate});
        }
    } catch (const EndsEarly&) {
        source.failed(true);
        throw;
    } catch (const EZintraError&) {
        source.failed(false);
        // A payload too short for the frames it counts says so first, as a
        // read of it all at once would.
        if (count > 0 && count <= maxFrames && size_t(count) > (source.size() - framesAt) / perFrame) throw EndsEarly();
        throw;
    }
    source.finish();
}

void TZNFile::KeepIcons(std::span<const uint8_t> payload, const std::shared_ptr<const void>& owner) {
    m_payloadSize = payload.size();
    m_icons.reserve(m_frames.size());
    for (const FrameAt& frame : m_frames) {
        const auto bytes = payload.subspan(frame.at, frame.size);
        m_icons.push_back(frame.kind == FrameIconKind::Written ? TFrameIcon::Kept(bytes, owner)
                                                               : TFrameIcon::Loaded(bytes, owner));
    }
}

void TZNFile::Clear() {
    // Member by member: a fresh reader, which every read starts with, has nothing to free.
    m_layout = ZNLayout::Compressed;
    m_version = 0;
    m_category = 0;
    for (std::string* text : {&m_title, &m_authorName, &m_copyright, &m_email, &m_homepage, &m_comments}) text->clear();
    m_speed = 0;
    m_icons.clear();
    m_frames.clear();
    m_payloadSize = 0;
    m_held.reset();
}

int32_t TZNFile::Rate(int i) const {
    if (m_version >= kPerFrameRatesVersion) {
        // A legacy file claiming 3.0 or more has no per-frame rates.
        if (m_layout == ZNLayout::Legacy || i < 0 || size_t(i) >= m_frames.size())
            throw EReadError(messages::kStreamRead);
        return m_frames[size_t(i)].rate;
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
