#pragma once
// Reads a Windows animated cursor (a RIFF form of type "ACON") into what the
// editor imports from it: a title, a creator and the frames, each a stored
// icon image with its rate in 1/60 s. Images are handed on as stored; the
// import shrinks them and reduces their colours.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/FrameIcon.h"

// One frame record. Several records may share one image.
struct TIconFrame {
    std::shared_ptr<const TFrameIcon> image;
    int32_t rate = 0;
    // Binds stored images to records while reading; of no use afterwards.
    int32_t sequenceIndex = -1;
};

inline constexpr size_t kMaxCursorFileBytes = size_t(64) << 20;

class TAnimatedCursorImage {
public:
    // Reads and parses the whole file. EFOpenError when it cannot be opened
    // (what was held is kept); EReadError "Stream read error" when it is
    // not a usable animated cursor (the reader is then empty). A file of 0
    // bytes succeeds and changes nothing.
    void ReadCursorFile(const std::string& path);
    // The same for bytes already in memory.
    void ReadCursorBytes(std::span<const uint8_t> bytes);

    std::string Title() const { return BufferText(m_title); }
    std::string Creator() const { return BufferText(m_creator); }
    int32_t FrameCount() const { return int32_t(m_frames.size()); }
    // i must lie within 0 .. FrameCount() - 1.
    const TFrameIcon& FrameImage(int32_t i) const { return *m_frames.at(size_t(i)).image; }
    int32_t FrameRate(int32_t i) const { return m_frames.at(size_t(i)).rate; }

    // Text buffers hold at most this many characters and a closing zero.
    static constexpr size_t kTextBufferBytes = 256;
    using TextBuffer = std::array<char, kTextBufferBytes>;

private:
    static std::string BufferText(const TextBuffer& buffer);
    void Clear();

    std::vector<TIconFrame> m_frames;
    TextBuffer m_title{};
    TextBuffer m_creator{};
};
