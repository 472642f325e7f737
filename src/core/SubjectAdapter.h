#pragma once

// A second kind of subject: instead of named subscriptions it keeps a set of receivers and
// broadcasts a name and a value to all of them. The playback-tick subject carries "TICK" with the
// playback position in whole seconds.
//
// Threading: user-interface thread only, no locking (as the event bus).
// Ownership: receivers are not owned; a receiver removes itself before it is destroyed.

#include "core/EventBus.h"

#include <set>
#include <string>

class CSubjectAdapter;

// What a member of a CSubjectAdapter's set receives.
class IBroadcastReceiver {
public:
    virtual void OnBroadcast(CSubjectAdapter* sender, const std::wstring& eventName, int value) = 0;

protected:
    ~IBroadcastReceiver() = default; // the subject never deletes a receiver
};

class CSubjectAdapter : public ISubject {
public:
    ~CSubjectAdapter() override;

    // Inserts the receiver once; adding it again changes nothing.
    virtual void AddObserver(IBroadcastReceiver* receiver);
    virtual void RemoveObserver(IBroadcastReceiver* receiver);

    // Calls every receiver once, in ascending pointer order. A receiver may add or remove
    // receivers meanwhile: one removed before its turn is not called, one added behind the
    // current position is called in this pass.
    virtual void Broadcast(const std::wstring& eventName, int value);

private:
    std::set<IBroadcastReceiver*> m_receivers; // ordered by pointer value
};

class CSubjectPlaybackTick : public CSubjectAdapter {
public:
    virtual void GetName(std::wstring& name) const; // "PLAYBACKTICK"
};

// The one playback-tick subject, created on first call and kept until process exit.
CSubjectPlaybackTick& PlaybackTickSubject();
