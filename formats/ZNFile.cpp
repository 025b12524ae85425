#include "formats/ZNFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
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
constexpr double kPerFrameRatesVersion = 3.0;  // from here on: category and per-frame rates
constexpr uint8_t kWrittenSpeed = 5;
constexpr int32_t kWrittenIconSize = int32_t(kFrameIconBytes);

// Legacy layout: fixed-width decimal text fields after "ZN".
constexpr size_t kLegacyVersionWidth = 3;
constexpr size_t kLegacyIconSizeWidth = 5;
constexpr size_t kLegacySpeedWidth = 2;
constexpr size_t kLegacyCountWidth = 2;
constexpr size_t kLegacyTitleWidth = 12;

// A compressed file larger than this could not inflate within the cap.
constexpr size_t kMaxZNFile = kMaxZNPayload + (size_t(1) << 20);

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

// Inflates straight into the payload buffer, which zlib fills itself.
Payload Inflate(std::span<const uint8_t> file, ReadBudget& budget) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw EDecompressionError(messages::kInflate);
    stream.next_in = const_cast<Bytef*>(file.data());
    stream.avail_in = uInt(file.size());

    // ZN payloads shrink about fourfold; reserving ahead saves regrowing.
    Payload payload;
    size_t size = 0;
    auto grow = [&payload](size_t to) {
        payload.reserve(to);  // exactly: resize alone may take up to twice as much
        payload.resize(to);
    };
    grow(std::min(kMaxZNPayload, std::max<size_t>(file.size() * 8, 4096)));
    int status = Z_OK;
    while (status == Z_OK) {
        if (size == payload.size()) {
            // Grown by doubling, but never past the cap: a stream that
            // inflates further is refused.
            if (size == kMaxZNPayload) {
                uint8_t probe;
                stream.next_out = &probe;
                stream.avail_out = 1;
                status = inflate(&stream, Z_NO_FLUSH);
                if (stream.avail_out == 0) {
                    inflateEnd(&stream);
                    throw EReadError(messages::kStreamRead);
                }
                break;
            }
            grow(std::min(kMaxZNPayload, 2 * size));
        }
        const auto room = uInt(std::min<size_t>(payload.size() - size, UINT32_MAX));
        stream.next_out = payload.data() + size;
        stream.avail_out = room;
        status = inflate(&stream, Z_NO_FLUSH);
        size += room - stream.avail_out;
        budget.charge(room - stream.avail_out, "inflating a ZN file");
    }
    // Z_BUF_ERROR here means the input ended inside the stream.
    const bool complete = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!complete) throw EDecompressionError(messages::kInflate);
    payload.resize(size);
    return payload;
}

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
    // Parse into a fresh reader so that a failure leaves nothing behind.
    TZNFile result;
    const bool raw = file.size() >= 2 && AsText(file.first(2)) == kMagic;
    if (raw) {
        result.m_layout = ZNLayout::Uncompressed;
        result.ParsePayload(file, owner);
    } else {
        result.m_layout = ZNLayout::Compressed;
        const auto payload = std::make_shared<const Payload>(Inflate(file, budget));
        result.ParsePayload(*payload, payload);
    }
    *this = std::move(result);
}

void TZNFile::ParsePayload(std::span<const uint8_t> payload, const std::shared_ptr<const void>& owner) {
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
    // bytes: both bound what a count can make us allocate.
    const size_t perFrame = m_layout == ZNLayout::Legacy ? size_t(iconSize > 0 ? iconSize : 1) : 8;
    if (count > kMaxFrames || size_t(count) > in.remaining() / perFrame)
        throw EReadError(messages::kStreamRead);

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

std::vector<uint8_t> EncodeZNFile(const ZNContent& content) {
    const std::vector<uint8_t> payload = ZNPayload(content);
    uLongf size = compressBound(uLong(payload.size()));
    std::vector<uint8_t> file(size);
    if (compress2(file.data(), &size, payload.data(), uLong(payload.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EWriteError(messages::kStreamRead);
    file.resize(size);
    return file;
}

void WriteZNFile(const std::string& path, const ZNContent& content) {
    // Everything is encoded before the disk is touched, so a frame that
    // cannot be written leaves the target alone.
    WriteFileAtomically(path, EncodeZNFile(content));
}
