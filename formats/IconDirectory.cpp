#include "formats/IconDirectory.h"

#include <array>
#include <optional>

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/IconLayout.h"

namespace {

// A directory cut short reads as zeros, as the rest of the icon does.
IconDirectoryEntry ReadEntry(const ZeroPadded& directory, uint16_t index) {
    std::array<uint8_t, kDirectoryEntrySize> raw;
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = directory.u8(uint64_t(index) * kDirectoryEntrySize + i);
    ByteReader reader(raw.data(), raw.size());
    IconDirectoryEntry entry;
    entry.width = reader.u8();
    entry.height = reader.u8();
    entry.colourWord = reader.u16le();
    entry.planes = reader.u16le();
    entry.bitCount = reader.u16le();
    entry.dataSize = reader.u32le();
    entry.dataOffset = reader.u32le();
    return entry;
}

uint16_t ChooseIndex(const ZeroPadded& directory, uint16_t count, uint16_t deviceColours) {
    std::optional<uint16_t> chosen;
    uint16_t reference = 0;
    for (uint16_t e = 0; e < count; ++e) {
        const uint16_t colours = ReadEntry(directory, e).colourWord;
        if (colours == deviceColours) return e;
        if (!chosen && colours <= deviceColours) {
            chosen = e;
            reference = colours;
        } else if (chosen && colours > reference) {
            chosen = e;
        }
    }
    return chosen.value_or(0);
}

}  // namespace

IconHeader ReadIconHeader(std::span<const uint8_t> bytes) {
    ByteReader reader(bytes);
    IconHeader header;
    header.reserved = reader.u16le();
    header.type = reader.u16le();
    header.count = reader.u16le();
    return header;
}

ChosenEntry ChooseIconEntry(std::span<const uint8_t> bytes, uint16_t deviceColours, ReadBudget& budget) {
    const IconHeader header = ReadIconHeader(bytes);
    if (header.type == kTypeStandardIcon) return {true, {}, {}};
    if (header.type != kTypeIcon || header.count == 0)
        throw EInvalidGraphic(messages::kInvalidIcon, "not an icon, or an icon without images");
    budget.charge(uint64_t(header.count) * kDirectoryEntrySize, "reading an icon's directory");
    const ZeroPadded directory(bytes, kIconHeaderSize, uint64_t(header.count) * kDirectoryEntrySize);
    const IconDirectoryEntry entry = ReadEntry(directory, ChooseIndex(directory, header.count, deviceColours));
    return {false, entry, ZeroPadded(bytes, entry.dataOffset, entry.dataSize)};
}
