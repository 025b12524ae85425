#pragma once
// Which frame of a looping animation is on show at a given time, and when
// it gives way to the next. Times are passed in, measured on the caller's
// monotonic clock from any fixed point, so playback can be tested and
// measured without a real clock or a window.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class PlaybackSchedule {
public:
    using Time = std::chrono::nanoseconds;

    // Plays the loop from its first frame at time now; also how one switches
    // to another animation. Each frame stays for its shown rate in 1/60 s
    // (core/FrameTiming.h). A paused
    // schedule stays paused, on the new first frame.
    void start(std::span<const int32_t> rates, Time now);

    // Stops and resumes the clock of the loop: the frame on show and the
    // time it has left are the same after a resume as at the pause.
    void pause(Time now);
    void resume(Time now);
    bool paused() const { return m_pausedAt.has_value(); }

    int frameCount() const { return int(m_ends.size()); }
    // The frame due at now (0 without frames). Every deadline counts from
    // the start of the loop, so a late caller gets the frame that is due,
    // past the ones it missed, and lateness never adds up.
    int frameAt(Time now) const;
    // When the frame on show at now gives way to another; none while paused
    // or when there is only one frame.
    std::optional<Time> nextChange(Time now) const;
    // One pass through every frame.
    Time loopLength() const;

private:
    int64_t unitsAt(Time now) const;  // 1/60 s since the loop started

    std::vector<int64_t> m_ends;  // where each frame's time ends, in 1/60 s
    Time m_start{};               // moved on by the time spent paused
    std::optional<Time> m_pausedAt;
};
