#include "QtTestSupport.h"

#include <QApplication>
#include <QThread>
#include <algorithm>
#include <cstdlib>

// Qt's font database keeps fontconfig's configuration for the life of the process (the test
// application is never destroyed), so every test that lays out text leaves fontconfig's
// allocations behind. The leak checker of sanitizer builds ignores those, and only those. It sits
// here because every program that makes the test application links this file.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

void EnsureTestApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    static int argc = 1;
    static char name[] = "qor_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds period) {
    PumpUntil([] { return false; }, period);
}

CEventLog::~CEventLog() {
    for (ISubject* subject : m_subjects) {
        subject->Unsubscribe(this);
    }
}

void CEventLog::Watch(ISubject& subject, const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
        subject.Subscribe(this, name, 0);
    }
    m_subjects.push_back(&subject);
}

void CEventLog::Notify(ISubject* sender, std::wstring eventName, int, EventArg arg1,
                       EventArg arg2) {
    events.push_back({std::move(eventName), arg1, arg2, sender});
    if (onEvent) {
        onEvent(events.back());
    }
}

std::vector<std::wstring> CEventLog::Names() const {
    std::vector<std::wstring> names;
    for (const CRecordedEvent& event : events) {
        names.push_back(event.name);
    }
    return names;
}

int CEventLog::Count(const std::wstring& name) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const CRecordedEvent& e) { return e.name == name; }));
}

int CEventLog::Find(const std::wstring& name, std::size_t from) const {
    for (std::size_t i = from; i < events.size(); ++i) {
        if (events[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
