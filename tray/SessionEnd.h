#pragma once
// SIGTERM (a session ending) and SIGINT (Ctrl+C in a terminal) as a Qt
// signal. The handler only writes a byte to a pipe, the one thing a signal
// handler may safely do; the event loop reads it and the player ends as its
// Quit does.
#include <QObject>
#include <QSocketNotifier>

class SessionEnd : public QObject {
    Q_OBJECT
public:
    // One per program: the handlers write to this object's pipe.
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

signals:
    void requested();

private:
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
