#include "core/PlaybackSchedule.h"

#include <gtest/gtest.h>

#include <random>

using namespace std::chrono_literals;
using Time = PlaybackSchedule::Time;

namespace {

// The first nanosecond at or after a time given in 1/60 s.
Time At60ths(int64_t units) { return Time((units * 50'000'000 + 2) / 3); }

PlaybackSchedule Started(const std::vector<int32_t>& rates, Time now = 0ns) {
    PlaybackSchedule schedule;
    schedule.start(rates, now);
    return schedule;
}

TEST(PlaybackSchedule, AnHourOfLateTicksDoesNotDrift) {
    const std::vector<int32_t> rates{1, 2, 7, 10, 60, 250, 3};
    PlaybackSchedule schedule = Started(rates);
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> lateness(0, 5'000'000);
    int64_t boundary = 0;
    size_t changes = 0;
    for (Time now = 0ns; now < 1h;) {
        boundary += rates[changes % rates.size()];
        const auto due = schedule.nextChange(now);
        ASSERT_TRUE(due);
        // Every deadline is the loop start plus the rates so far, however
        // late the ticks before it were.
        ASSERT_EQ(*due, At60ths(boundary));
        now = *due + Time(lateness(random));
        ASSERT_EQ(schedule.frameAt(now), int(++changes % rates.size()));
    }
    // An hour is 216000/60 s: 648 loops of 333 and 216 into frame 5.
    EXPECT_EQ(changes, 648 * rates.size() + 6);
    EXPECT_EQ(schedule.frameAt(1h), 5);
}

TEST(PlaybackSchedule, ALateTickShowsTheFrameThatIsDue) {
    const PlaybackSchedule schedule = Started({1, 1, 1, 1, 1});
    EXPECT_EQ(schedule.frameAt(50ms), 3);
    EXPECT_EQ(schedule.nextChange(50ms), At60ths(4));
    EXPECT_EQ(schedule.frameAt(At60ths(4) - 1ns), 3);
    EXPECT_EQ(schedule.frameAt(At60ths(4)), 4);
    EXPECT_EQ(schedule.frameAt(At60ths(5)), 0);
}

TEST(PlaybackSchedule, PauseAndResumeKeepTheFrameAndItsTimeLeft) {
    PlaybackSchedule schedule = Started({6, 6}, 1s);
    schedule.pause(1s + 40ms);
    schedule.pause(5s);  // already paused: no effect
    EXPECT_TRUE(schedule.paused());
    EXPECT_EQ(schedule.frameAt(20s), 0);
    EXPECT_EQ(schedule.nextChange(20s), std::nullopt);
    schedule.resume(20s);
    EXPECT_EQ(schedule.frameAt(20s), 0);
    EXPECT_EQ(schedule.nextChange(20s), 20s + 60ms);
    EXPECT_EQ(schedule.frameAt(20s + 60ms), 1);
}

TEST(PlaybackSchedule, RatesBelowOneCountAsOne) {
    const PlaybackSchedule schedule = Started({0, -5, INT32_MIN, 3});
    EXPECT_EQ(schedule.nextChange(0ns), At60ths(1));
    EXPECT_EQ(schedule.frameAt(At60ths(1)), 1);
    EXPECT_EQ(schedule.frameAt(At60ths(2)), 2);
    EXPECT_EQ(schedule.frameAt(At60ths(3)), 3);
    EXPECT_EQ(schedule.loopLength(), At60ths(6));
}

TEST(PlaybackSchedule, SwitchingStartsTheNewLoopAtItsFirstFrame) {
    PlaybackSchedule schedule = Started({10, 10});
    schedule.start(std::vector<int32_t>{30, 5, 5}, 250ms);
    EXPECT_EQ(schedule.frameCount(), 3);
    EXPECT_EQ(schedule.frameAt(250ms), 0);
    EXPECT_EQ(schedule.nextChange(250ms), 750ms);

    schedule.pause(300ms);
    schedule.start(std::vector<int32_t>{10, 10}, 400ms);
    EXPECT_TRUE(schedule.paused());
    EXPECT_EQ(schedule.frameAt(10s), 0);
    schedule.resume(10s);
    EXPECT_EQ(schedule.nextChange(10s), 10s + At60ths(10));
}

TEST(PlaybackSchedule, HugeRatesAndLongLoopsStayExact) {
    const std::vector<int32_t> longest(32767, 32767);  // 207 days a loop
    const PlaybackSchedule schedule = Started(longest);
    const Time hundredDays = 100 * 24h;
    // 100 days are 518'400'000/60 s: 15820 whole frames and part of one more.
    EXPECT_EQ(schedule.frameAt(hundredDays), 15820);
    EXPECT_EQ(schedule.nextChange(hundredDays), At60ths(15821LL * 32767));
    EXPECT_EQ(Started({INT32_MAX, 1}).frameAt(At60ths(INT32_MAX)), 1);
}

TEST(PlaybackSchedule, OneFrameOrNoneNeverChanges) {
    for (const std::vector<int32_t>& rates : {std::vector<int32_t>{}, std::vector<int32_t>{5}}) {
        const PlaybackSchedule schedule = Started(rates);
        EXPECT_EQ(schedule.frameAt(1h), 0);
        EXPECT_EQ(schedule.nextChange(1h), std::nullopt);
    }
}

}  // namespace
