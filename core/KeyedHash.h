#pragma once
// A hash of bytes keyed by a secret that the process draws once from the
// system's random source, for tables keyed by file content: a file cannot
// be made to collide in them, because whoever wrote it cannot know the key.
// SipHash-1-3 (Aumasson and Bernstein's design with one compression round
// and three finishing rounds, as several languages' hash tables use it).
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

using HashKey = std::array<uint64_t, 2>;

// SipHash with the given rounds (1 and 3 here; 2 and 4 for the published
// test vectors).
uint64_t SipHash(const HashKey& key, std::span<const uint8_t> bytes, int compressionRounds = 1, int finalRounds = 3);
// This process's key, drawn on first use.
const HashKey& ProcessHashKey();
// SipHash-1-3 of bytes under this process's key.
inline uint64_t KeyedHash(std::span<const uint8_t> bytes) { return SipHash(ProcessHashKey(), bytes); }
