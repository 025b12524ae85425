#pragma once
// The rows of a PNG's image data, in the order the data holds them (pass by
// pass for an interlaced picture), and their unfiltering: the decoder
// unfilters the rows itself, so that libpng converts only the rows a
// picture needs and is handed them unfiltered.
#include <cstddef>
#include <cstdint>
#include <span>

// What the header chunk (IHDR) says.
struct PngHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 0;
    uint8_t colourType = 0;
    bool interlaced = false;

    // Bits a stored pixel takes; 0 for a colour type and depth PNG has not.
    uint32_t pixelBits() const;
};
// The 13 bytes of an IHDR chunk's data.
PngHeader ReadPngHeader(std::span<const uint8_t> data);

// Walks the rows of a picture's image data.
class PngRowOrder {
public:
    explicit PngRowOrder(const PngHeader& header);
    // The row under way: its pass (0 when not interlaced), its row in the
    // picture, its pixels and bytes (the filter byte included).
    int pass() const { return m_pass; }
    uint32_t sourceRow() const { return m_sourceRow; }
    uint32_t columns() const { return m_columns; }
    size_t bytes() const { return m_bytes; }
    bool done() const { return m_pass >= 7; }
    // The first row of a pass (its prior row is taken as zeros).
    bool firstOfPass() const { return m_rowInPass == 0; }
    void next();

private:
    void startPass(int pass);

    PngHeader m_header;
    int m_pass = 0;
    uint32_t m_rowInPass = 0;
    uint32_t m_rows = 0;  // of the pass
    uint32_t m_sourceRow = 0;
    uint32_t m_columns = 0;
    size_t m_bytes = 0;
};

// The bytes of all rows up to and including the one of source row lastRow
// (every pass's, for an interlaced picture).
uint64_t PngDataBytes(const PngHeader& header, uint32_t lastRow);

// Undoes filter (0 none, 1 sub, 2 up, 3 average, 4 Paeth) on row, whose
// prior row (zeros for a pass's first) is prior, with pixels of pixelBytes
// bytes (at least 1). False for a filter PNG has not.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length, size_t pixelBytes);
