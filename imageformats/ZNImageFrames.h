#pragma once
// What an image framework (gdk-pixbuf, Qt's image plugins) needs of a ZN
// file: its frames as 16×16 RGBA images with the time each one ends, read
// through the one boundary every host shares (core/HostRead.h), so a viewer
// or a thumbnail service sees exactly what the editor would; and whether
// bytes are a ZN file by their content.
#include <cstdint>
#include <span>
#include <vector>

#include "core/Document.h"
#include "core/HostRead.h"

class ZNImageFrames {
public:
    // The frames of a read's document, which has at least one.
    explicit ZNImageFrames(TDocument document);

    int count() const { return m_document.Count(); }
    // Frame i (0-based), 16×16: a transparent pixel has alpha 0, the rest 255.
    const IconImage& image(int i) const;
    // Milliseconds from the loop's start to the end of frame i.
    int64_t endMs(int i) const { return m_ends[size_t(i)]; }
    // How long frame i shows, for an int delay.
    int delayMs(int i) const;

private:
    TDocument m_document;
    std::vector<int64_t> m_ends;
};

// How many bytes from its start tell a ZN file: enough for a compressed
// file's zlib header, its first deflate block's tables and the payload's
// header.
inline constexpr size_t kZNSniffBytes = 1024;

// Whether a file starting with these bytes is a ZN file by its whole
// signature: a payload starting "ZNFIL" and a version a writer could store,
// or "ZN" and a legacy header whose decimal fields read as numbers; either
// raw, or as the first inflated bytes of a zlib stream.
bool LooksLikeZN(std::span<const uint8_t> head);
