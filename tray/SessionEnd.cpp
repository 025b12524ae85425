#include "tray/SessionEnd.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_writeEnd = -1;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);  // a full pipe has its byte already
    errno = saved;
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals then end the program as before
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {}
        emit requested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT}) ::sigaction(signal, &action, nullptr);
}

SessionEnd::~SessionEnd() {
    if (m_pipe[0] < 0) return;
    for (int signal : {SIGTERM, SIGINT}) std::signal(signal, SIG_DFL);
    g_writeEnd = -1;
    delete m_notifier;  // before the descriptor it watches goes
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}
