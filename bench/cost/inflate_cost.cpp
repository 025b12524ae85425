// What inflating costs per unit the metered inflater charges, on the
// streams that make each of its prices count most: blocks that give
// nothing (the step's price), literals behind 15-bit codes (the output
// byte's), stored data and zeros.
#include <zlib.h>

#include <random>
#include <vector>

#include "Cost.h"
#include "DeflateStreams.h"
#include "builders/PngBuilder.h"
#include "formats/Inflater.h"

namespace {

constexpr size_t kStream = size_t(4) << 20;

void Inflate(const std::vector<uint8_t>& stream, ReadBudget& budget) {
    Inflater inflater(budget, "inflating", 15);
    inflater.give(stream);
    std::vector<uint8_t> out(size_t(1) << 20);
    while (!inflater.ended() && !inflater.damaged() && inflater.inflate(out) == out.size()) {}
    if (!inflater.ended()) throw EReadError("damaged", inflater.damage());
}

std::vector<uint8_t> EmptyMinimalBlocks() { return test::DeflateBehindEmptyBlocks({}, kStream); }
std::vector<uint8_t> EmptyDeepBlocks() { return cost::EmptyDeepBlocks(kStream); }
std::vector<uint8_t> EmptyFixedBlocks() { return cost::EmptyFixedBlocks(kStream); }
std::vector<uint8_t> EmptyStoredBlocks() { return cost::EmptyStoredBlocks(kStream); }
std::vector<uint8_t> DeepLiterals() { return cost::DeepLiterals(kStream); }
std::vector<uint8_t> Zeros() { return test::Deflate({}, uint64_t(64) << 20); }
std::vector<uint8_t> Noise() {
    std::mt19937 random(3);
    std::vector<uint8_t> bytes(kStream);
    for (uint8_t& b : bytes) b = uint8_t(random());
    return test::Deflate(bytes);
}
// Matches of 3 bytes from anywhere in the window, between literals.
std::vector<uint8_t> ShortFarMatches() {
    std::mt19937 random(4);
    std::vector<uint8_t> bytes(kStream);
    for (size_t i = 0; i < bytes.size();) {
        if (i > 40000 && random() % 2) {
            const size_t distance = 1 + random() % 32000;
            for (int k = 0; k < 3 && i < bytes.size(); ++k, ++i) bytes[i] = bytes[i - distance];
        } else {
            bytes[i++] = uint8_t(random());
        }
    }
    return test::Deflate(bytes);
}

// Literals alone, coded by Huffman codes of one or two bits: the most
// symbols per byte read.
std::vector<uint8_t> HuffmanOnly(const std::vector<uint8_t>& bytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15, 9, Z_HUFFMAN_ONLY);
    std::vector<uint8_t> out(deflateBound(&z, uLong(bytes.size())));
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
std::vector<uint8_t> TwoLiterals() {
    std::mt19937 random(6);
    std::vector<uint8_t> bytes(kStream * 4);
    for (uint8_t& b : bytes) b = uint8_t('a' + (random() & 1));
    return HuffmanOnly(bytes);
}
std::vector<uint8_t> SkewedLiterals() {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(kStream * 4);
    for (uint8_t& b : bytes) b = random() % 100 < 90 ? 'a' : uint8_t(random());
    return HuffmanOnly(bytes);
}

template <std::vector<uint8_t> (*Build)()>
void BM_Inflate(benchmark::State& state) {
    const auto& stream = cost::Once<Build>();
    cost::Measure(state, [&](ReadBudget& budget) { Inflate(stream, budget); });
    state.counters["stream_bytes"] = double(stream.size());
}
BENCHMARK(BM_Inflate<EmptyMinimalBlocks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<EmptyDeepBlocks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<EmptyFixedBlocks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<EmptyStoredBlocks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<DeepLiterals>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<TwoLiterals>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<SkewedLiterals>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<Zeros>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<Noise>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate<ShortFarMatches>)->Unit(benchmark::kMillisecond);

}  // namespace
