#pragma once

// Passes events of one subject on to another, under the same or a new name and with the same two
// arguments: an owner that re-publishes what an embedded component announces uses one table
// instead of one hand-written handler per event.
//
// Threading: user-interface thread only, like the bus.
// Ownership: neither subject is owned. The relay unsubscribes from its source when it is
// destroyed or reconnected, so the source must outlive it (declare the relay after the source
// member) or Disconnect must come first; the target must outlive every relayed Raise.

#include <span>
#include <string>
#include <vector>

#include "core/EventBus.h"

struct CEventRelayEntry {
    const wchar_t* from; // the source's event
    const wchar_t* to;   // raised on the target
};

class CEventRelay final : public IObserver {
public:
    CEventRelay() = default;
    ~CEventRelay() override;
    CEventRelay(const CEventRelay&) = delete;
    CEventRelay& operator=(const CEventRelay&) = delete;

    // Subscribes to each entry's source event; from then on each is raised on target under the
    // entry's name, in the source's subscription order among the source's other observers. A
    // second Connect replaces the first.
    void Connect(ISubject& source, ISubject& target, std::span<const CEventRelayEntry> table);
    void Disconnect();

    void Notify(ISubject* sender, std::wstring eventName, int handlerId, EventArg arg1,
                EventArg arg2) override;

private:
    ISubject* m_source = nullptr;
    ISubject* m_target = nullptr;
    std::vector<std::wstring> m_targetNames; // index = handler id of the subscription
};
