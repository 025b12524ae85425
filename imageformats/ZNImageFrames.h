#pragma once
// What an image framework (gdk-pixbuf, Qt's image plugins) needs of a ZN
// file: every frame as a 16×16 RGBA image with the time it shows, read by
// the same bounded loader as the editor's Open, so a viewer or a thumbnail
// service sees exactly what the editor would.
#include <cstdint>
#include <span>
#include <vector>

#include "formats/FrameIcon.h"
#include "formats/ZNFile.h"

struct ZNImageFrame {
    IconImage image;  // 16×16; a transparent pixel has alpha 0, the rest 255
    int delayMs = 0;
};

// How many bytes from its start tell a ZN file: enough for a compressed
// file's first deflate block header and the payload's "ZN".
inline constexpr size_t kZNSniffBytes = 1024;

// How long a frame of this rate shows: rate × 1000 / 60 ms, rounded to the
// nearest; a rate below 1 counts as 1, as in the player.
int FrameDelayMs(int32_t rate);

// Appends bytes a loader is given to those it has gathered. A stream longer
// than any ZN file the reader accepts fails here, as a damaged file, rather
// than filling memory first.
void GatherZNBytes(std::vector<uint8_t>& gathered, std::span<const uint8_t> more);

// Every frame of the file in order; throws EZintraError (or bad_alloc) for
// anything the Open command would refuse.
std::vector<ZNImageFrame> ReadZNImageFrames(std::span<const uint8_t> file);

// Whether a file starting with these bytes is a ZN file by its content: a
// raw payload starts with "ZN", a compressed file is a zlib stream whose
// first inflated bytes are "ZN".
bool LooksLikeZN(std::span<const uint8_t> head);
