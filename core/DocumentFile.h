#pragma once
// The document as a ZN file: what the writer stores, taken from the document.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Document.h"
#include "formats/ZNFile.h"

// Views into the document; valid while it is unchanged.
ZNContent ZNContentOf(const TDocument& document);

inline std::vector<uint8_t> ZNPayload(const TDocument& document) { return ZNPayload(ZNContentOf(document)); }
inline std::vector<uint8_t> EncodeZNFile(const TDocument& document) { return EncodeZNFile(ZNContentOf(document)); }
inline void WriteZNFile(const std::string& path, const TDocument& document) {
    WriteZNFile(path, ZNContentOf(document));
}
