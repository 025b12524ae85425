#include "tray/FramePlayer.h"

#include <algorithm>
#include <chrono>

namespace {
// A QTimer counts whole milliseconds in an int; longer waits are taken in
// steps, each ending with a look at the schedule.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(1);
}

FramePlayer::FramePlayer(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FramePlayer::onTimeout);
}

PlaybackSchedule::Time FramePlayer::now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void FramePlayer::play(const std::vector<int32_t>& rates) {
    m_schedule.start(rates, now());
    m_frame = 0;
    emit frameChanged(0);
    arm();
}

void FramePlayer::setPaused(bool paused) {
    if (paused == isPaused()) return;
    if (paused) {
        m_schedule.pause(now());
        m_timer.stop();
    } else {
        m_schedule.resume(now());
        arm();
    }
}

void FramePlayer::onTimeout() {
    const int frame = m_schedule.frameAt(now());
    if (frame != m_frame) {
        m_frame = frame;
        emit frameChanged(frame);
    }
    arm();
}

void FramePlayer::arm() {
    const auto due = m_schedule.nextChange(now());
    if (!due) {
        m_timer.stop();
        return;
    }
    m_deadline = *due;
    // Rounded up: a timer that fires before the deadline would find the
    // old frame still due and cost a wake-up for nothing.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now());
    m_timer.start(std::clamp(wait, std::chrono::milliseconds(0), kLongestWait));
}
