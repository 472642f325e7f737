#pragma once

// Named events between components: a component announces something by raising an event on its
// own subject; whoever cares has subscribed one of its member functions for that name.
//
// Threading: the user-interface thread alone subscribes, raises and receives. Nothing here takes a
// lock; work from other threads reaches this thread through posted events and timers first.
//
// Ownership: a subject holds plain observer pointers and never owns or deletes an observer. An
// observer that can die before its subject calls Unsubscribe on that subject first. A subject must
// outlive every Raise in progress on it, so a handler must not destroy the subject raising to it.

#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The two word-sized arguments of an event: an integer, or a pointer to a record owned by the
// raiser that the receiver may use only during the call.
using EventArg = std::intptr_t;

class IObserver;

class ISubject {
public:
    // One subscription. Copied by value when the sequence grows.
    class CItem {
    public:
        CItem(IObserver* subscriber, std::wstring name, int handler);
        CItem(const CItem&) = default;
        CItem(CItem&&) = default;
        CItem& operator=(const CItem&) = default;
        CItem& operator=(CItem&&) = default;
        virtual ~CItem() = default;

        IObserver* observer; // not owned
        std::wstring eventName;
        int handlerId; // -1: deliver nothing
    };

    ISubject() = default;
    // Copying would silently duplicate or share other objects' subscriptions.
    ISubject(const ISubject&) = delete;
    ISubject& operator=(const ISubject&) = delete;
    virtual ~ISubject();

    // Appends a subscription. No duplicate check: subscribing twice delivers twice.
    void Subscribe(IObserver* observer, std::wstring eventName, int handlerId);

    // Removes every subscription of the observer, for all names; the rest keep their order.
    void Unsubscribe(IObserver* observer);

    // The observer's subscriptions here, over all names: an owner that subscribes and leaves
    // repeatedly can be checked to leave nothing behind.
    std::size_t CountSubscriptions(const IObserver* observer) const;

    // Calls every subscriber of the name, in subscription order, before returning. The count is
    // re-read on every step, so a handler may raise further events (delivered at once, nested),
    // subscribe (a matching newcomer is called later in the same pass) or unsubscribe (the
    // subscription that moves into a removed position is skipped in this pass). The name is taken
    // by value so that no handler can invalidate it mid-pass.
    void Raise(std::wstring eventName, EventArg arg1, EventArg arg2);

private:
    std::vector<CItem> m_items; // in subscription order
};

class IObserver {
public:
    // Calls the member function registered under handlerId with (sender, arg1, arg2); -1 calls
    // nothing. The name is passed for completeness and is not consulted.
    virtual void Notify(ISubject* sender, std::wstring eventName, int handlerId, EventArg arg1,
                        EventArg arg2);
    virtual ~IObserver() = default;
};

// Base of every observer class: keeps the class's handler table and dispatches Notify through it.
//
//     class CMainWnd : public QWidget, public CObserver<CMainWnd> { ... };
//     int id = RegisterHandler(&CMainWnd::OnMediaLoaded);
//     subject.Subscribe(this, L"MediaLoaded", id);
//
// The table belongs to Derived and is shared by every class derived from it: a subclass registers
// its own member functions through the same RegisterHandler, so the ids of base and subclass never
// clash. A class must reach IObserver through exactly one CObserver base.
template <class Derived> class CObserver : public IObserver {
public:
    using Handler = void (Derived::*)(ISubject* sender, EventArg arg1, EventArg arg2);

    // Same member function, same id; new ones get the next dense id (0, 1, 2, ...).
    template <class D>
    requires std::derived_from<D, Derived>
    static int RegisterHandler(void (D::*handler)(ISubject*, EventArg, EventArg)) {
        const Handler converted = static_cast<Handler>(handler);
        for (std::size_t id = 0; id < s_handlers.size(); ++id) {
            if (s_handlers[id] == converted) {
                return static_cast<int>(id);
            }
        }
        s_handlers.push_back(converted);
        return static_cast<int>(s_handlers.size() - 1);
    }

    void Notify(ISubject* sender, std::wstring /*eventName*/, int handlerId, EventArg arg1,
                EventArg arg2) final {
        if (handlerId < 0) {
            return;
        }
        const auto index = static_cast<std::size_t>(handlerId);
        // Ids come only from RegisterHandler of this class; anything else is a wiring mistake.
        assert(index < s_handlers.size());
        if (index >= s_handlers.size()) {
            return;
        }
        // Copied first: the handler may register more handlers and so move the table.
        const Handler handler = s_handlers[index];
        (static_cast<Derived*>(this)->*handler)(sender, arg1, arg2);
    }

private:
    inline static std::vector<Handler> s_handlers; // index = handler id
};
