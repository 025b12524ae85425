#pragma once
// ZN animation files: the reader of all three layouts and the writer of
// the current one.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FrameIcon.h"
#include "formats/ReadBudget.h"

// Frame numbers are 16-bit signed in the editor, so no animation has more.
inline constexpr int kMaxFrames = 32767;
// Stored in place of an empty e-mail, homepage or comments field.
inline constexpr std::string_view kEmptyMarker = "~x";
// From this version on a file has a category and per-frame rates, and its
// colours are taken as they are.
inline constexpr double kPerFrameRatesVersion = 3.0;
// Text with leading and trailing characters of code 0..32 removed is empty.
bool IsBlank(std::string_view text);

enum class ZNLayout { Compressed, Uncompressed, Legacy };

// What a string field of a file keeps: the format lets a reader cut a
// string at 255 characters or more, and the editor itself writes a copyright
// line of up to 275 and a homepage of up to 262. The rest of a longer string
// is passed over, never copied, so that whatever a file holds, what is
// shown of it (zntool info, the tray's tooltip and menu, every dialog)
// stays small.
inline constexpr size_t kMaxTextFieldBytes = 275;

class PayloadSource;

// What a ZN file holds, as read; the Open command turns it into a document.
// Every read charges its work to the budget it is given and holds the file's
// bytes and the payload on it while the reader keeps them.
class TZNFile {
public:
    // Reads a whole file. EFOpenError when it cannot be opened or is not a
    // regular file; every other failure as its own exception (nothing read
    // survives a failure).
    void Read(const std::string& path, ReadBudget& budget);
    // Reads a file's bytes already in memory.
    void ReadBytes(std::span<const uint8_t> file, ReadBudget& budget);
    // Reads the fields and the first frame, inflating no more of the file
    // than they take: what a thumbnail shows. Frames after the first are
    // neither read nor checked. A payload that is wrong fails as a whole
    // read would; only one that ends early is inflated further.
    void ReadFirstFrame(const std::string& path, ReadBudget& budget);
    void ReadFirstFrame(std::span<const uint8_t> file, ReadBudget& budget);

    ZNLayout Layout() const { return m_layout; }
    double Version() const { return m_version; }
    uint8_t Category() const { return m_category; }
    const std::string& Title() const { return m_title; }
    const std::string& AuthorName() const { return m_authorName; }
    const std::string& Copyright() const { return m_copyright; }
    const std::string& Email() const { return m_email; }
    const std::string& Homepage() const { return m_homepage; }
    const std::string& Comments() const { return m_comments; }
    // The speed byte of the current layout, the mapped rate of a legacy file.
    uint8_t Speed() const { return m_speed; }
    int FrameCount() const { return int(m_icons.size()); }
    // Frame i's rate: its own from version 3.0 on, else the speed value.
    int32_t Rate(int i) const;
    const TFrameIcon& Icon(int i) const;
    // The bytes of the payload the icons share.
    size_t PayloadSize() const { return m_payloadSize; }

private:
    void Clear();
    // Where frame i's record put its icon in the payload, what it is, and
    // its rate (none in a legacy file).
    struct FrameAt {
        uint32_t at;
        uint32_t size;
        FrameIconKind kind;
        int32_t rate;
    };
    // Reads an uncompressed payload, which owner keeps alive and held
    // counts, and at most maxFrames frames from it; the frames' icons refer into it.
    void TakeFixed(std::span<const uint8_t> payload, std::shared_ptr<const void> owner, ReadBudget::Held held,
                   int32_t maxFrames, ReadBudget& budget);
    // Reads at most maxFrames frames of a file, or of its bytes in memory.
    void ReadFile(const std::string& path, int32_t maxFrames, ReadBudget& budget);
    void ReadFrom(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget);
    // Takes a copy of an uncompressed file's bytes, its own payload.
    void TakeCopy(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget);
    // Inflates a compressed file as its parse goes: all of it for a whole
    // read (kMaxFrames), no more than its first frame takes for one frame.
    void TakeCompressed(std::span<const uint8_t> file, int32_t maxFrames, ReadBudget& budget);
    // Parses the payload into this reader, or clears it and throws.
    void Parse(PayloadSource& source, int32_t maxFrames, ReadBudget& budget);
    void ParsePayload(PayloadSource& source, int32_t maxFrames, ReadBudget& budget);
    // The frames' icons, referring into the payload that owner keeps.
    void KeepIcons(std::span<const uint8_t> payload, const std::shared_ptr<const void>& owner);

    ZNLayout m_layout = ZNLayout::Compressed;
    double m_version = 0;
    uint8_t m_category = 0;
    std::string m_title, m_authorName, m_copyright, m_email, m_homepage, m_comments;
    uint8_t m_speed = 0;
    std::vector<TFrameIcon> m_icons;
    std::vector<FrameAt> m_frames;
    size_t m_payloadSize = 0;
    ReadBudget::Held m_held;  // the payload's memory
};

// What the writer stores, as plain data: the information fields and every
// frame's rate and icon. The views must outlive the call they are given to.
struct ZNFrameData {
    int32_t rate = 0;
    const TFrameIcon* icon = nullptr;
};
struct ZNContent {
    std::string_view title, authorName, email, homepage, copyright, comments;
    uint8_t category = 0;
    std::vector<ZNFrameData> frames;
};

// The uncompressed current-layout payload. An empty icon fails with
// EInvalidGraphic before anything is returned.
std::vector<uint8_t> ZNPayload(const ZNContent& content);
// The whole file: the payload through zlib at level 9.
std::vector<uint8_t> EncodeZNFile(const ZNContent& content);
// The payload through zlib at level 9, which takes its memory from allocate
// (by default its own; a test can make it fail). EOutOfResources when zlib
// cannot get the memory it needs.
using ZlibAllocate = void* (*)(void* opaque, unsigned items, unsigned size);
std::vector<uint8_t> CompressZNPayload(std::span<const uint8_t> payload, ZlibAllocate allocate = nullptr);
// Writes the file so that a failure leaves an existing file as it was.
void WriteZNFile(const std::string& path, const ZNContent& content);

// The payload cap: far above any real animation, low enough that a hostile
// stream cannot exhaust memory.
inline constexpr size_t kMaxZNPayload = size_t(64) << 20;
// A compressed file larger than this could not inflate within the cap.
inline constexpr size_t kMaxZNFile = kMaxZNPayload + (size_t(1) << 20);
