#pragma once
// An icon entry stored as a PNG file, as newer icons store large entries.
// Unlike a bitmap entry, the directory's width and height (0 meaning 256)
// must be the picture's own.
#include "formats/FrameIcon.h"
#include "formats/IconDirectory.h"
#include "formats/ImageTarget.h"
#include "formats/ReadBudget.h"

bool IsPngEntry(const ChosenEntry& chosen);
// The whole picture; transparent pixels hold black, as in bitmap entries.
IconImage DecodePngEntry(const ChosenEntry& chosen, ReadBudget& budget);
// ScaleToFrame(DecodePngEntry(chosen)) for an intact picture, reading rows
// only as far as the last one the rule takes.
IconImage SamplePngEntry(const ChosenEntry& chosen, ReadBudget& budget);
// The picture into target: whole, or only the 16×16 frame it takes.
void DecodePngEntry(const ChosenEntry& chosen, ImageTarget& target, ReadBudget& budget);
