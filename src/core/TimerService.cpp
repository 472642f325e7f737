#include "core/TimerService.h"

#include "core/Log.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <map>

namespace {

// A zero or negative period would spin the event loop or never fire; nothing needs faster calls.
constexpr int kMinPeriodMs = 10;
// Callers need periodic calls, not precision; coarse timers let the system batch wake-ups.
constexpr Qt::TimerType kTimerType = Qt::CoarseTimer;

struct CEntry {
    ITimerClient* client; // not owned; may be null (the timer runs, nobody is called)
    QTimer* timer;        // child of the table
};

// A child of the application, so the table and its timers go with the event loop they need.
class CTimerTable : public QObject {
public:
    explicit CTimerTable(QObject* application) : QObject(application) {}

    std::map<int, CEntry> entries; // id -> running timer; an id is here from start to stop
};

QPointer<CTimerTable> g_table; // user-interface thread only

// Timers run only in the event loop of the application's thread. Without an application nothing
// can be running, which StopTimer reports as usual; StartTimer logs it.
bool OnUserInterfaceThread(const char* function, int timerId) {
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;
    }
    if (QThread::currentThread() != application->thread()) {
        Log({function, LOG_LEVEL_ERROR}, "timer %d: called off the user-interface thread", timerId);
        return false;
    }
    return true;
}

void Expire(int timerId, const QTimer* timer) {
    if (!g_table) {
        return;
    }
    const auto it = g_table->entries.find(timerId);
    // Stopped, or replaced by a new timer, while this expiry was already on its way.
    if (it == g_table->entries.end() || it->second.timer != timer) {
        return;
    }
    if (ITimerClient* client = it->second.client) {
        client->OnTimer(timerId);
    }
}

} // namespace

int StartTimer(int timerId, int periodMs, ITimerClient* client) {
    if (QCoreApplication::instance() == nullptr) {
        Log({"StartTimer", LOG_LEVEL_ERROR}, "timer %d: no application to run it", timerId);
        return -1;
    }
    if (!OnUserInterfaceThread("StartTimer", timerId)) {
        return -1;
    }
    if (!g_table) {
        g_table = new CTimerTable(QCoreApplication::instance());
    }
    CEntry& entry = g_table->entries.try_emplace(timerId, CEntry{client, nullptr}).first->second;
    entry.client = client;
    if (entry.timer == nullptr) {
        QTimer* timer = new QTimer(g_table);
        timer->setTimerType(kTimerType);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [timerId, timer] { Expire(timerId, timer); });
        entry.timer = timer;
    }
    // Restarting a running QTimer drops its pending expiry and counts the new period from now.
    entry.timer->start(std::max(periodMs, kMinPeriodMs));
    return timerId;
}

int StopTimer(int timerId) {
    if (!OnUserInterfaceThread("StopTimer", timerId) || !g_table) {
        return -1;
    }
    const auto it = g_table->entries.find(timerId);
    if (it == g_table->entries.end()) {
        return -1;
    }
    QTimer* timer = it->second.timer;
    g_table->entries.erase(it);
    timer->stop();
    // The caller may be inside this very timer's timeout; the event loop deletes it afterwards.
    timer->deleteLater();
    return 0;
}
