#pragma once
// An icon's bitmap entry: a 40-byte header, a colour table, colour rows and
// mask rows, bottom row first, at 1, 4, 8, 16, 24 or 32 bits per pixel.
// Missing bytes read as zero.
#include "formats/FrameIcon.h"
#include "formats/ReadBudget.h"
#include "formats/ZeroPadded.h"

// The whole image at its stored size. EInvalidGraphic when the header cannot
// describe an icon image.
IconImage DecodeBitmapEntry(const ZeroPadded& data, ReadBudget& budget);
// ScaleToFrame(DecodeBitmapEntry(data)), reading only the 256 pixels the rule
// takes from 16 rows and their mask (a 32-bit image's alpha channel is still
// scanned, as it decides whether alpha counts).
IconImage SampleBitmapEntry(const ZeroPadded& data, ReadBudget& budget);
