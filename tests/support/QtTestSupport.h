#pragma once
// What every test folder needs to drive widgets and the event bus: one QApplication for the
// test program, running the event loop until a condition holds, and recording named events.
//
// Threads: the test's main thread, which is the application's user-interface thread.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/EventBus.h"

// The process's QApplication (offscreen platform and SDL's dummy sound unless the environment
// names others), made on the first call and never destroyed: at exit Qt's own globals may
// already be gone.
void EnsureTestApplication();

// Constructed first in a fixture, so that the application exists before any widget.
struct CTestApplicationUser {
    CTestApplicationUser() { EnsureTestApplication(); }
};

// Runs the event loop until done() is true or the limit has passed; returns done().
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
// Runs the event loop for the whole period.
void PumpFor(std::chrono::milliseconds period);

struct CRecordedEvent {
    std::wstring name;
    EventArg arg1;
    EventArg arg2;
    ISubject* sender;
};

// Records every event of the watched names, in the order received; unsubscribes when it goes,
// so it must not outlive a watched subject.
class CEventLog : public IObserver {
public:
    CEventLog() = default;
    ~CEventLog() override;
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    void Watch(ISubject& subject, const std::vector<std::wstring>& names);
    void Notify(ISubject* sender, std::wstring eventName, int handlerId, EventArg arg1,
                EventArg arg2) override;

    std::vector<std::wstring> Names() const;
    int Count(const std::wstring& name) const;
    // Index of the first event of that name at or after `from`, -1 when none.
    int Find(const std::wstring& name, std::size_t from = 0) const;
    void Clear() { events.clear(); }

    std::vector<CRecordedEvent> events;
    // Called after each event is recorded, inside the raise.
    std::function<void(const CRecordedEvent&)> onEvent;

private:
    std::vector<ISubject*> m_subjects;
};
