#include "platform/QuitSignals.h"

#include "platform/PlatformLog.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <pthread.h>
#include <semaphore.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT};
constexpr std::int64_t kGraceNs =
    std::chrono::duration_cast<std::chrono::nanoseconds>(kQuitGracePeriod).count();
constexpr char kForcedMessage[] = "quit signal: the exit did not finish in its grace period, "
                                  "ending the process by the signal\n";

// Shared with the handler, so lock-free atomics only.
// The pipe's write end; -1 while no CQuitSignals lives.
std::atomic<int> g_writeEnd{-1};
// CLOCK_MONOTONIC time of the first signal in nanoseconds, 0 while none came; and its number,
// written by the handler that set the time before it posts the watchdog.
std::atomic<std::int64_t> g_firstSignalAt{0};
std::atomic<int> g_firstSignal{0};
// Set by the destructor before it posts the watchdog: the exit path has finished.
std::atomic<bool> g_exitFinished{false};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<std::int64_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Wakes the watchdog: posted by the first signal's handler and by the destructor. Made once and
// never destroyed, so a handler still running on another thread during the destructor never posts
// a destroyed semaphore.
sem_t g_watchdogWake;
bool g_watchdogWakeMade = false;                      // user-interface thread only
int g_readEnd = -1;                                   // user-interface thread only
struct sigaction g_previous[std::size(kQuitSignals)]; // user-interface thread only

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Ends the process by the signal's default action, from a handler or the watchdog thread.
// Async-signal-safe only.
[[noreturn]] void EndBySignal(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    // Not reached: the default action of both signals ends the process.
    _exit(128 + signal);
}

// Async-signal-safe only: clock_gettime, write, sem_post, and EndBySignal.
void OnQuitSignal(int signal) {
    const int savedErrno = errno;
    const std::int64_t now = MonotonicNs();
    std::int64_t first = 0;
    if (g_firstSignalAt.compare_exchange_strong(first, now)) {
        g_firstSignal = signal;
        if (const int fd = g_writeEnd.load(); fd >= 0) {
            const char number = static_cast<char>(signal);
            [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
        }
        sem_post(&g_watchdogWake);
    } else if (now - first >= kGraceNs) {
        EndBySignal(signal);
    }
    errno = savedErrno;
}

// Interrupted waits are resumed; the thread blocks every signal, so only a debugger interrupts.
int WaitForWake(const timespec* deadline) {
    int result = 0;
    do {
        result = deadline == nullptr ? sem_wait(&g_watchdogWake)
                                     : sem_clockwait(&g_watchdogWake, CLOCK_MONOTONIC, deadline);
    } while (result != 0 && errno == EINTR);
    return result;
}

// The watchdog thread: sleeps until the first signal (or the destructor), then gives the exit
// path the grace period; the destructor's post within it lets the thread end.
void WatchQuit() {
    WaitForWake(nullptr);
    if (g_exitFinished.load()) {
        return;
    }
    const std::int64_t end = g_firstSignalAt.load() + kGraceNs;
    const timespec deadline{static_cast<time_t>(end / 1'000'000'000),
                            static_cast<long>(end % 1'000'000'000)};
    if (WaitForWake(&deadline) == 0 || g_exitFinished.load()) {
        return;
    }
    [[maybe_unused]] const ssize_t written =
        ::write(STDERR_FILENO, kForcedMessage, sizeof kForcedMessage - 1);
    EndBySignal(g_firstSignal.load());
}

} // namespace

CQuitSignals::CQuitSignals(std::function<void()> onSignal) : m_onSignal(std::move(onSignal)) {
    int ends[2];
    if (g_writeEnd.load() >= 0 || pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    if (!g_watchdogWakeMade) {
        sem_init(&g_watchdogWake, 0, 0);
        g_watchdogWakeMade = true;
    }
    while (sem_trywait(&g_watchdogWake) == 0) {
    }
    g_firstSignalAt = 0;
    g_firstSignal = 0;
    g_exitFinished = false;

    // The watchdog takes no signal: the handler runs on the other threads, and its own end by a
    // signal is one it raises after unblocking it.
    sigset_t all;
    sigset_t previousMask;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previousMask);
    m_watchdog = std::thread(WatchQuit);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_installed = true;
    // A child of the application, so that this object may outlive it.
    m_notifier =
        new QSocketNotifier(g_readEnd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, &CQuitSignals::OnReadable);
    struct sigaction action {};
    action.sa_handler = &OnQuitSignal;
    // One quit signal at a time on a thread, so SIGINT never interrupts SIGTERM's handler.
    sigemptyset(&action.sa_mask);
    for (const int signal : kQuitSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
        sigaction(kQuitSignals[i], &action, &g_previous[i]);
    }
}

CQuitSignals::~CQuitSignals() {
    if (!m_installed) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
        sigaction(kQuitSignals[i], &g_previous[i], nullptr);
    }
    g_exitFinished = true;
    sem_post(&g_watchdogWake);
    m_watchdog.join();
    delete m_notifier;
    const int writeEnd = g_writeEnd.exchange(-1);
    ::close(writeEnd);
    ::close(g_readEnd);
    g_readEnd = -1;
}

void CQuitSignals::OnReadable() {
    char numbers[16];
    ssize_t count = 0;
    int signal = 0;
    while ((count = ::read(g_readEnd, numbers, sizeof numbers)) > 0) {
        signal = numbers[0];
    }
    if (!m_signalled && signal != 0) {
        m_signalled = true;
        PlatformLog(PLATFORM_LOG_INFO, "CQuitSignals::OnReadable",
                    "signal " + std::to_string(signal) + ": ending the program");
        m_onSignal();
    }
}
