#include "imageformats/ZNImageFrames.h"

#include <algorithm>
#include <climits>
#include <zlib.h>

#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/Errors.h"

namespace {

constexpr uint8_t kMagic[] = {'Z', 'N'};

bool StartsWithMagic(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kMagic && std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin());
}

}  // namespace

int FrameDelayMs(int32_t rate) {
    const int64_t ms = (int64_t(std::max(rate, int32_t(1))) * 1000 + 30) / 60;
    return int(std::min<int64_t>(ms, INT_MAX));
}

void GatherZNBytes(std::vector<uint8_t>& gathered, std::span<const uint8_t> more) {
    if (more.size() > kMaxZNFile - gathered.size())
        throw EReadError(messages::kStreamRead, "the file is longer than any ZN file");
    gathered.insert(gathered.end(), more.begin(), more.end());
}

std::vector<ZNImageFrame> ReadZNImageFrames(std::span<const uint8_t> file) {
    ReadBudget budget;  // the one budget of this read
    const TDocument document = LoadZNAnimation(file, budget);
    std::vector<ZNImageFrame> frames;
    frames.reserve(size_t(document.Count()));
    for (int n = 1; n <= document.Count(); ++n) {
        const TFrameRecord& frame = document.FrameAt(n);
        frames.push_back({frame.icon->image(), FrameDelayMs(frame.rate)});
    }
    return frames;
}

bool LooksLikeZN(std::span<const uint8_t> head) {
    if (StartsWithMagic(head)) return true;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    uint8_t out[sizeof kMagic];
    stream.next_in = const_cast<Bytef*>(head.data());
    stream.avail_in = uInt(std::min<size_t>(head.size(), kZNSniffBytes));
    stream.next_out = out;
    stream.avail_out = sizeof out;
    // Only as far as the first two bytes: the rest may not be at hand.
    const int status = inflate(&stream, Z_SYNC_FLUSH);
    inflateEnd(&stream);
    return (status == Z_OK || status == Z_STREAM_END) && stream.avail_out == 0 && StartsWithMagic(out);
}
