#pragma once
// Plays a loop of frames on the schedule's absolute deadlines: one
// single-shot timer armed for the next change, none while paused.
#include <QObject>
#include <QTimer>

#include <vector>

#include "core/PlaybackSchedule.h"

class FramePlayer : public QObject {
    Q_OBJECT
public:
    explicit FramePlayer(QObject* parent = nullptr);

    // Starts the loop from its first frame; a paused player stays paused.
    void play(const std::vector<int32_t>& rates);
    void setPaused(bool paused);
    bool isPaused() const { return m_schedule.paused(); }
    int currentFrame() const { return m_frame; }
    const PlaybackSchedule& schedule() const { return m_schedule; }
    // When the change last shown was due, for measuring lateness.
    PlaybackSchedule::Time lastDeadline() const { return m_deadline; }

    // The monotonic clock the timers run on.
    static PlaybackSchedule::Time now();

signals:
    void frameChanged(int frame);

private:
    void onTimeout();
    void arm();

    PlaybackSchedule m_schedule;
    QTimer m_timer;
    int m_frame = 0;
    PlaybackSchedule::Time m_deadline{};
};
