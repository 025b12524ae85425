#pragma once
// ZN animation files: the reader of all three layouts and the writer of
// the current one.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/FrameIcon.h"

class TDocument;

enum class ZNLayout { Compressed, Uncompressed, Legacy };

// What a ZN file holds, as read; the Open command turns it into a document.
class TZNFile {
public:
    // Reads a whole file. EFOpenError when it cannot be opened; every other
    // failure as its own exception (nothing read survives a failure).
    void Read(const std::string& path);
    // Reads a file's bytes already in memory.
    void ReadBytes(std::span<const uint8_t> file);

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

private:
    void Clear();
    void ParsePayload(std::span<const uint8_t> payload);

    ZNLayout m_layout = ZNLayout::Compressed;
    double m_version = 0;
    uint8_t m_category = 0;
    std::string m_title, m_authorName, m_copyright, m_email, m_homepage, m_comments;
    uint8_t m_speed = 0;
    std::vector<std::unique_ptr<TFrameIcon>> m_icons;
    std::vector<int32_t> m_rates;
};

// The uncompressed current-layout payload of a document.
std::vector<uint8_t> ZNPayload(const TDocument& document);
// The whole file: the payload through zlib at level 9.
std::vector<uint8_t> EncodeZNFile(const TDocument& document);
// Writes the file so that a failure leaves an existing file as it was.
void WriteZNFile(const std::string& path, const TDocument& document);

// The payload cap: far above any real animation, low enough that a hostile
// stream cannot exhaust memory.
inline constexpr size_t kMaxZNPayload = size_t(64) << 20;
