#include "core/EventBus.h"

#include <algorithm>
#include <utility>

ISubject::CItem::CItem(IObserver* subscriber, std::wstring name, int handler)
    : observer(subscriber), eventName(std::move(name)), handlerId(handler) {}

ISubject::~ISubject() = default;

void ISubject::Subscribe(IObserver* observer, std::wstring eventName, int handlerId) {
    m_items.emplace_back(observer, std::move(eventName), handlerId);
}

std::size_t ISubject::CountSubscriptions(const IObserver* observer) const {
    return static_cast<std::size_t>(
        std::count_if(m_items.begin(), m_items.end(),
                      [observer](const CItem& item) { return item.observer == observer; }));
}

void ISubject::Unsubscribe(IObserver* observer) {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].observer == observer) {
            positions.push_back(i);
        }
    }
    // From the back, so the positions still to erase stay valid.
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(*it));
    }
}

void ISubject::Raise(std::wstring eventName, EventArg arg1, EventArg arg2) {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const CItem& item = m_items[i];
        if (item.eventName != eventName) {
            continue;
        }
        // The handler may subscribe or unsubscribe and so move the sequence: take what the call
        // needs now and leave the item alone afterwards.
        IObserver* const observer = item.observer;
        const int handlerId = item.handlerId;
        observer->Notify(this, item.eventName, handlerId, arg1, arg2);
    }
}

void IObserver::Notify(ISubject* /*sender*/, std::wstring /*eventName*/, int /*handlerId*/,
                       EventArg /*arg1*/, EventArg /*arg2*/) {}
