#pragma once
// A control center on the real controller and engine, over an in-memory playlist, for tests that
// drive it with the Qt event loop running. Each host has its own data and settings folders, so
// playlists and preferences never leak between tests.
#include "QtTestSupport.h"
#include "playlist/ControlCenter.h"
#include "support/MemoryPlaylist.h"

#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Records the center's media events, with the active row at the moment each arrived.
class CCenterEvents : public IObserver {
public:
    struct CEvent {
        std::wstring name;
        EventArg arg1;
        int activeRow;
    };

    void Watch(CControlCenter& center, IPlaylistAdapter& list);
    void Notify(ISubject* sender, std::wstring eventName, int handlerId, EventArg arg1,
                EventArg arg2) override;
    int Count(const std::wstring& name) const;
    // Active rows at each event of that name, in order.
    std::vector<int> Rows(const std::wstring& name) const;

    std::vector<CEvent> events;

private:
    IPlaylistAdapter* m_list = nullptr;
};

struct CCenterHost : CTestApplicationUser {
    explicit CCenterHost(int delayMs = CControlCenter::kDefaultDelayMs);
    ~CCenterHost();

    // A path below the host's folder that does not exist.
    std::wstring MissingPath(int index) const;
    std::wstring Folder() const;

    QTemporaryDir dir;
    QWidget window;
    CMemoryPlaylist list;
    CControlCenter center;
    CCenterEvents events;
};

// A 1 s H.264/AAC clip, made by the ffmpeg command on first use.
std::wstring ShortClip();
