#include "platform/QuitSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT};

// The pipe's write end, read by the handler; -1 while no CQuitSignals lives. Lock-free, so the
// handler may read it.
std::atomic<int> g_writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);
int g_readEnd = -1;                                   // user-interface thread only
struct sigaction g_previous[std::size(kQuitSignals)]; // user-interface thread only

void RestoreDefaults() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kQuitSignals) {
        sigaction(signal, &action, nullptr);
    }
}

// Async-signal-safe only: write, sigaction, errno.
void OnQuitSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const char number = static_cast<char>(signal);
        // A full pipe already holds a signal for the loop to see; this one may be dropped.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    RestoreDefaults();
    errno = savedErrno;
}

} // namespace

CQuitSignals::CQuitSignals(std::function<void()> onSignal) : m_onSignal(std::move(onSignal)) {
    int ends[2];
    if (g_writeEnd.load() >= 0 || pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_notifier = std::make_unique<QSocketNotifier>(g_readEnd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this,
                     &CQuitSignals::OnReadable);
    struct sigaction action {};
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
        sigaction(kQuitSignals[i], &action, &g_previous[i]);
    }
}

CQuitSignals::~CQuitSignals() {
    if (m_notifier == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
        sigaction(kQuitSignals[i], &g_previous[i], nullptr);
    }
    m_notifier.reset();
    const int writeEnd = g_writeEnd.exchange(-1);
    ::close(writeEnd);
    ::close(g_readEnd);
    g_readEnd = -1;
}

void CQuitSignals::OnReadable() {
    char numbers[16];
    while (::read(g_readEnd, numbers, sizeof numbers) > 0) {
    }
    if (!m_signalled) {
        m_signalled = true;
        m_onSignal();
    }
}
