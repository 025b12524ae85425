#pragma once
// Animated cursor (.ani) output: a RIFF form of type "ACON".
#include <cstdint>
#include <vector>

class TDocument;

// The form holds, in this order: the "anih" header (one step per frame,
// frames stored as icons, the first frame's rate as default), an "INFO"
// list with the title ("INAM") and the author name ("IART"), a "rate"
// chunk with every frame's rate and a "fram" list with every frame's icon
// bytes. Throws EInvalidGraphic for a frame without an image.
std::vector<uint8_t> EncodeAnimatedCursor(const TDocument& document);
