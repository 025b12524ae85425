#pragma once
// An icon's bitmap entry: a 40-byte header, a colour table, colour rows and
// mask rows, bottom row first, at 1, 4, 8, 16, 24 or 32 bits per pixel.
// Missing bytes read as zero.
#include "formats/FrameIcon.h"
#include "formats/ReadBudget.h"
#include "formats/ZeroPadded.h"

class ImageTarget;

// The image into target: whole, or only the 16×16 frame, whose 256 pixels
// are read from 16 rows and their mask in place (a 32-bit image's alpha
// channel is still scanned, as it decides whether alpha counts).
// EInvalidGraphic when the header cannot describe an icon image.
void DecodeBitmapEntry(const ZeroPadded& data, ImageTarget& target, ReadBudget& budget);
