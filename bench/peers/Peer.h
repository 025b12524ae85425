#pragma once
// A reader a user would otherwise use, run in this process: the table's
// column, why it cannot run here (empty when it can) and its decoding of
// every frame of one file.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "bench/peers/PixelDigest.h"
#include "bench/peers/WorkItems.h"

struct Peer {
    std::string id;      // in benchmark names
    std::string column;  // in the table's header
    std::string unavailable;
    // Which kinds of file it reads.
    std::function<bool(WorkItem::Kind)> reads;
    // Decodes every frame and returns how many it gave; adds them to the
    // digest when one is passed (never inside the timed loop). Throws
    // std::runtime_error when the file is refused.
    std::function<int(const WorkItem&, PixelDigest*)> decode;
};

Peer GdkPixbufPeer();
Peer QtIcoPeer();
