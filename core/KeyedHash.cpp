#include "core/KeyedHash.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <random>
#include <sys/random.h>

namespace {

struct State {
    uint64_t v0, v1, v2, v3;

    void round() {
        v0 += v1, v1 = std::rotl(v1, 13), v1 ^= v0, v0 = std::rotl(v0, 32);
        v2 += v3, v3 = std::rotl(v3, 16), v3 ^= v2;
        v0 += v3, v3 = std::rotl(v3, 21), v3 ^= v0;
        v2 += v1, v1 = std::rotl(v1, 17), v1 ^= v2, v2 = std::rotl(v2, 32);
    }
    void absorb(uint64_t m, int rounds) {
        v3 ^= m;
        for (int i = 0; i < rounds; ++i) round();
        v0 ^= m;
    }
};

uint64_t LittleEndianWord(const uint8_t* bytes, size_t n) {
    uint64_t word = 0;
    for (size_t i = 0; i < n; ++i) word |= uint64_t(bytes[i]) << (8 * i);
    return word;
}

}  // namespace

uint64_t SipHash(const HashKey& key, std::span<const uint8_t> bytes, int compressionRounds, int finalRounds) {
    State s{key[0] ^ 0x736f6d6570736575, key[1] ^ 0x646f72616e646f6d, key[0] ^ 0x6c7967656e657261,
            key[1] ^ 0x7465646279746573};
    const uint8_t* p = bytes.data();
    const size_t words = bytes.size() / 8;
    for (size_t i = 0; i < words; ++i, p += 8) {
        uint64_t m;
        std::memcpy(&m, p, sizeof m);
        if constexpr (std::endian::native == std::endian::big) m = LittleEndianWord(p, 8);
        s.absorb(m, compressionRounds);
    }
    // The last word holds the bytes left over and the length's low byte.
    s.absorb(LittleEndianWord(p, bytes.size() % 8) | uint64_t(bytes.size()) << 56, compressionRounds);
    s.v2 ^= 0xff;
    for (int i = 0; i < finalRounds; ++i) s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

const HashKey& ProcessHashKey() {
    static const HashKey key = [] {
        HashKey k{};
        auto* bytes = reinterpret_cast<uint8_t*>(k.data());
        size_t got = 0;
        while (got < sizeof k) {
            const ssize_t n = getrandom(bytes + got, sizeof k - got, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        // A system without getrandom still has the library's random device.
        if (got < sizeof k) {
            std::random_device device;
            for (uint64_t& word : k) word = uint64_t(device()) << 32 | device();
        }
        return k;
    }();
    return key;
}
