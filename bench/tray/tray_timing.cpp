// How closely the player keeps time: plays loops for real, on the event
// loop and timer the tray player uses, and measures every frame change
// against the moment the rates say it is due.
//
//   tray_timing [SECONDS]
//
// Compared: the player's FramePlayer (one single-shot timer per change,
// aimed at an absolute deadline) at 60 and at 10 frames a second, and the
// naive alternative, a repeating timer that shows the next frame on every
// tick (17 ms for 60 frames a second, 100 ms for 10).
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <numeric>
#include <vector>

#include "tray/FramePlayer.h"

namespace {

using Time = PlaybackSchedule::Time;
constexpr int kFrames = 8;

struct Result {
    std::vector<double> lateness;  // ms after the change was due
    int64_t due = 0;               // changes due in the time played
    double cpu = 0;                // share of one core, in %
};

// CPU time of the whole process so far.
Time ProcessCpu() { return std::chrono::nanoseconds(std::clock() * (1'000'000'000 / CLOCKS_PER_SEC)); }

// Runs the event loop for the time given and notes the CPU it took.
void Play(double seconds, Result& result) {
    const Time cpu = ProcessCpu();
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, qApp, &QCoreApplication::quit);
    qApp->exec();
    result.cpu = 100.0 * double((ProcessCpu() - cpu).count()) / (seconds * 1e9);
}

// Drift: how much later the last change came than the first, on the
// least-squares line through every change's lateness.
double Drift(const std::vector<double>& late) {
    const double n = double(late.size()), meanX = (n - 1) / 2;
    const double meanY = std::accumulate(late.begin(), late.end(), 0.0) / n;
    double xy = 0, xx = 0;
    for (size_t i = 0; i < late.size(); ++i) {
        xy += (double(i) - meanX) * (late[i] - meanY);
        xx += (double(i) - meanX) * (double(i) - meanX);
    }
    return xx > 0 ? xy / xx * (n - 1) : 0;
}

void Print(const char* what, const Result& r) {
    const auto& l = r.lateness;
    std::printf("%-36s %4zu of %4lld changes  mean late %6.3f ms  max %7.3f ms  drift %8.3f ms  CPU %.2f %%\n",
                what, l.size(), (long long)r.due, std::accumulate(l.begin(), l.end(), 0.0) / double(l.size()),
                *std::max_element(l.begin(), l.end()), Drift(l), r.cpu);
}

// The player: each change measured against the deadline it was aimed at.
Result Deadlines(int32_t rate, double seconds) {
    Result result;
    FramePlayer player;
    QObject::connect(&player, &FramePlayer::frameChanged, [&] {
        const Time late = FramePlayer::now() - player.lastDeadline();
        if (player.lastDeadline() != Time{}) result.lateness.push_back(double(late.count()) / 1e6);
    });
    const Time start = FramePlayer::now();
    player.play(std::vector<int32_t>(kFrames, rate));
    Play(seconds, result);
    // A change more than a frame late shows the frame then due, past the
    // ones missed: fewer changes than were due.
    result.due = (FramePlayer::now() - start).count() * 3 / 50'000'000 / rate;
    return result;
}

// A repeating timer: tick n shows frame n, which was due n rates after the start.
Result Repeating(int32_t rate, int intervalMs, double seconds) {
    Result result;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    const Time start = FramePlayer::now();
    int64_t frame = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++frame;
        const Time due = start + Time(frame * rate * 50'000'000 / 3);
        result.lateness.push_back(double((FramePlayer::now() - due).count()) / 1e6);
    });
    timer.start(intervalMs);
    Play(seconds, result);
    result.due = (FramePlayer::now() - start).count() * 3 / 50'000'000 / rate;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::printf("%.0f s of playback each\n", seconds);
    Print("deadlines, 60 frames a second", Deadlines(1, seconds));
    Print("deadlines, 10 frames a second", Deadlines(6, seconds));
    Print("repeating 17 ms timer, 60 a second", Repeating(1, 17, seconds));
    Print("repeating 100 ms timer, 10 a second", Repeating(6, 100, seconds));
    return 0;
}
