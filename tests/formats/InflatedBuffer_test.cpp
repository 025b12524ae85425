#include "formats/InflatedBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Fills a buffer to size bytes of a pattern, a step at a time, as a stream is inflated into it.
void FillTo(InflatedBuffer& buffer, size_t size) {
    while (buffer.size() < size) {
        if (buffer.room() == 0) buffer.reserve(2 * buffer.size());
        const size_t n = std::min(buffer.room(), size - buffer.size());
        for (size_t i = 0; i < n; ++i) buffer.end()[i] = uint8_t((buffer.size() + i) * 7);
        buffer.wrote(n);
    }
}

TEST(InflatedBuffer, KeepsItsBytesAsItGrowsFromItselfToTheHeapToAMapping) {
    InflatedBuffer buffer(size_t(8) << 20);
    buffer.reserve(100);
    FillTo(buffer, size_t(5) << 20);
    const auto bytes = buffer.bytes();
    for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], uint8_t(i * 7)) << "byte " << i;
}

TEST(InflatedBuffer, TheNextBufferReusesTheMemoryOfTheLastLetGo) {
    for (const size_t size : {size_t(1) << 20, size_t(4) << 20}) {
        const uint8_t* first = nullptr;
        {
            InflatedBuffer buffer(size_t(8) << 20);
            buffer.reserve(size);
            FillTo(buffer, size);
            first = buffer.bytes().data();
        }
        InflatedBuffer next(size_t(8) << 20);
        next.reserve(size);
        FillTo(next, size);
        EXPECT_EQ(next.bytes().data(), first) << size << " bytes";
        EXPECT_EQ(next.bytes()[size - 1], uint8_t((size - 1) * 7));
    }
}

}  // namespace
