#include "core/PlaybackSchedule.h"

#include <algorithm>

#include "core/FrameTiming.h"

namespace {

// 1/60 s is 50'000'000/3 ns. Both conversions divide before they multiply,
// so neither overflows however long the player runs, and both are exact:
// a time maps to the whole 1/60 s units it has reached, a unit boundary to
// the first nanosecond at or after it.
constexpr int64_t kNsPerThreeUnits = 50'000'000;

int64_t ToUnits(PlaybackSchedule::Time time) {
    const int64_t ns = time.count();
    return ns / kNsPerThreeUnits * 3 + ns % kNsPerThreeUnits * 3 / kNsPerThreeUnits;
}

PlaybackSchedule::Time ToTime(int64_t units) {
    const int64_t rest = units % 3 * kNsPerThreeUnits;
    return PlaybackSchedule::Time(units / 3 * kNsPerThreeUnits + (rest + 2) / 3);
}

}  // namespace

void PlaybackSchedule::start(std::span<const int32_t> rates, Time now) {
    m_ends = FrameEnds(rates, kRateUnitsPerSecond);
    m_start = now;
    if (m_pausedAt) m_pausedAt = now;
}

void PlaybackSchedule::pause(Time now) {
    if (!m_pausedAt) m_pausedAt = now;
}

void PlaybackSchedule::resume(Time now) {
    if (!m_pausedAt) return;
    m_start += now - *m_pausedAt;
    m_pausedAt.reset();
}

int64_t PlaybackSchedule::unitsAt(Time now) const {
    const Time elapsed = m_pausedAt.value_or(now) - m_start;
    return elapsed.count() > 0 ? ToUnits(elapsed) : 0;
}

int PlaybackSchedule::frameAt(Time now) const {
    if (m_ends.empty()) return 0;
    const int64_t position = unitsAt(now) % m_ends.back();
    return int(std::upper_bound(m_ends.begin(), m_ends.end(), position) - m_ends.begin());
}

std::optional<PlaybackSchedule::Time> PlaybackSchedule::nextChange(Time now) const {
    if (m_pausedAt || m_ends.size() < 2) return std::nullopt;
    const int64_t units = unitsAt(now);
    const int64_t loop = m_ends.back();
    const int64_t position = units % loop;
    const int64_t end = *std::upper_bound(m_ends.begin(), m_ends.end(), position);
    return m_start + ToTime(units - position + end);
}

PlaybackSchedule::Time PlaybackSchedule::loopLength() const {
    return m_ends.empty() ? Time{} : ToTime(m_ends.back());
}
