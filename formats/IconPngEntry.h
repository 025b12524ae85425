#pragma once
// An icon entry stored as a PNG file, as newer icons store large entries.
// Unlike a bitmap entry, the directory's width and height (0 meaning 256)
// must be the picture's own.
#include "formats/IconDirectory.h"
#include "formats/ImageTarget.h"
#include "formats/ReadBudget.h"

bool IsPngEntry(const ChosenEntry& chosen);
// The picture into target: whole, or only the 16×16 frame it takes, reading
// the image data only as far as the frame's last row. Transparent pixels
// hold black, as in bitmap entries.
void DecodePngEntry(const ChosenEntry& chosen, ImageTarget& target, ReadBudget& budget);
