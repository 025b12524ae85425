#include "core/KeyedHash.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SipHash, GivesThePublishedValueAtTwoAndFourRounds) {
    // The reference vector of the SipHash paper: key 00..0f, message 00..0e.
    const HashKey key{0x0706050403020100, 0x0f0e0d0c0b0a0908};
    std::vector<uint8_t> message(15);
    for (size_t i = 0; i < message.size(); ++i) message[i] = uint8_t(i);
    EXPECT_EQ(SipHash(key, message, 2, 4), 0xa129ca6149be45e5u);
    EXPECT_NE(SipHash(key, message), SipHash({key[0] ^ 1, key[1]}, message)) << "the key changes the hash";
}

}  // namespace
