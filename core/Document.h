#pragma once
// The one animation the editor holds: frames in order, each a frame icon
// with its rate in 1/60 s, and the seven information fields.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FrameIcon.h"
#include "formats/ZNFile.h"

inline constexpr std::array<std::string_view, 16> kCategories{
    "Animals", "Cartoons", "Food",    "Games",   "Holidays", "Misc",
    "Objects", "Patterns", "People",  "Places",  "Planets",  "Plants",
    "Sports",  "Symbols",  "Science & Technology", "TV & Movies",
};
inline constexpr uint8_t kNoCategory = 99;        // none chosen yet
inline constexpr int32_t kNewFrameRate = 50;
// The rates a user can give a frame, in 1/60 s.
inline constexpr int32_t kMinRate = 1;
inline constexpr int32_t kMaxRate = 32736;

struct TFrameRecord {
    std::unique_ptr<TFrameIcon> icon = std::make_unique<TFrameIcon>();
    int32_t rate = kNewFrameRate;
};

class TDocument {
public:
    std::string title, authorName, email, homepage, copyright, comments;
    uint8_t categoryIndex = kNoCategory;

    TDocument() { NewDocument(); }

    // Empty fields, no category and one new frame.
    void NewDocument();
    // No frames at all; used before a document is rebuilt or dropped.
    void ClearDocument();
    // Appends a new frame and returns its 1-based number (the new count).
    int AddFrame();
    // Removes frame n (1-based) unless it is the only one.
    void RemoveFrame(int n);
    // Replaces frame n's icon (the old one is released) and rate.
    void CommitFrame(int n, std::unique_ptr<TFrameIcon> icon, int32_t rate);
    void AppendFrame(std::unique_ptr<TFrameIcon> icon, int32_t rate);
    // Room for this many frames, so that appending them allocates nothing more.
    void ReserveFrames(int count) { m_frames.reserve(size_t(std::max(count, 0))); }
    const TFrameRecord& FrameAt(int n) const;
    int Count() const { return int(m_frames.size()); }

private:
    std::vector<TFrameRecord> m_frames;
};
