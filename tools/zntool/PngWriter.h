#pragma once
// PNG sprite-strip output, through libpng.
#include <cstdint>
#include <vector>

class TDocument;

// All frames side by side, first frame on the left, each enlarged scale
// times: a palette image whose transparent pixels are fully transparent.
// Throws EWriteError when libpng fails.
std::vector<uint8_t> EncodePngStrip(const TDocument& document, int scale);
