#pragma once
// Reads a Windows animated cursor (a RIFF form of type "ACON") into what the
// editor imports from it: a title, a creator and the frames, each a stored
// icon image with its rate in 1/60 s. Images are handed on as stored; the
// import shrinks them and reduces their colours.
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/CursorFrameList.h"
#include "formats/FileBytes.h"
#include "formats/FrameIcon.h"
#include "formats/ReadBudget.h"

// One frame record as read: the stored image it shows (several records
// may show one image) and its rate.
struct TIconFrame {
    TFrameIcon image;
    int32_t rate = 0;
};

inline constexpr size_t kMaxCursorFileBytes = kMaxInputFileBytes;
// No document takes more than kMaxFrames frames. A cursor whose records
// with images number more than this, or more than it has bytes, is refused
// rather than listed.
inline constexpr int32_t kMaxCursorFrames = 1 << 18;

class TAnimatedCursorImage {
public:
    // Reads and parses the whole file. EFOpenError when it cannot be opened
    // or is not a regular file (what was held is kept); EReadError "Stream
    // read error" when it is not a usable animated cursor (the reader is
    // then empty). A file of 0 bytes succeeds and changes nothing.
    // The read's work is charged to budget, and the reader's copy of the
    // file is held on it while the reader keeps it.
    void ReadCursorFile(const std::string& path, ReadBudget& budget);
    // The same for bytes already in memory.
    void ReadCursorBytes(std::span<const uint8_t> bytes, ReadBudget& budget);

    std::string Title() const { return BufferText(m_title); }
    std::string Creator() const { return BufferText(m_creator); }
    int32_t FrameCount() const { return int32_t(m_frames.size()); }
    // i must lie within 0 .. FrameCount() - 1. The image is a loaded icon
    // whose bytes stay in the reader's copy of the file, kept alive as long
    // as the icon is.
    TIconFrame Frame(int32_t i) const;
    TFrameIcon FrameImage(int32_t i) const { return Frame(i).image; }
    int32_t FrameRate(int32_t i) const { return m_frames.at(size_t(i)).rate; }

    // Text buffers hold at most this many characters and a closing zero.
    static constexpr size_t kTextBufferBytes = 256;
    using TextBuffer = std::array<char, kTextBufferBytes>;

    // Where a stored image lies in the file.
    struct StoredImage {
        uint32_t offset;
        uint32_t size;
    };

private:
    static std::string BufferText(const TextBuffer& buffer);
    void Read(std::shared_ptr<std::vector<uint8_t>> file, ReadBudget& budget);
    void Clear();

    std::shared_ptr<const std::vector<uint8_t>> m_file;
    std::deque<StoredImage> m_images;
    std::vector<CursorFrameList::Record> m_frames;  // images index m_images
    TextBuffer m_title{};
    TextBuffer m_creator{};
    ReadBudget::Held m_held;  // the copy of the file
};
