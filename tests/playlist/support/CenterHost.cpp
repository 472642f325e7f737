#include "support/CenterHost.h"

#include "MediaFixture.h"
#include "core/WideText.h"

#include <QApplication>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <cstdlib>

void CCenterEvents::Watch(CControlCenter& center, IPlaylistAdapter& list) {
    m_list = &list;
    for (const wchar_t* name : {L"MediaLoaded", L"MediaPlaying", L"MediaPaused", L"MediaStopped",
                                L"MediaAborted", L"MediaCompleted", L"MediaLoadFailed"}) {
        center.Subscribe(this, name, 0);
    }
}

void CCenterEvents::Notify(ISubject*, std::wstring eventName, int, EventArg arg1, EventArg) {
    events.push_back({std::move(eventName), arg1, m_list->GetActiveItem()});
}

int CCenterEvents::Count(const std::wstring& name) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const CEvent& event) { return event.name == name; }));
}

std::vector<int> CCenterEvents::Rows(const std::wstring& name) const {
    std::vector<int> rows;
    for (const CEvent& event : events) {
        if (event.name == name) {
            rows.push_back(event.activeRow);
        }
    }
    return rows;
}

CCenterHost::CCenterHost(int delayMs) {
    setenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8().constData(), 1);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/config");
    window.resize(320, 240);
    center.SetMainWindow(&window);
    center.Initialise(&window, &list, delayMs);
    events.Watch(center, list);
}

CCenterHost::~CCenterHost() {
    center.Reset();
    center.Close();
}

std::wstring CCenterHost::Folder() const {
    return dir.path().toStdWString() + L"/";
}

std::wstring CCenterHost::MissingPath(int index) const {
    return Folder() + L"missing_" + std::to_wstring(index) + L".mp4";
}

std::wstring ShortClip() {
    return Utf8ToWide(
        MakeMedia("center_av_1s.mp4",
                  {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=1", "-f", "lavfi",
                   "-i", "sine=frequency=440:sample_rate=44100:duration=1", "-c:v", "libx264",
                   "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"}));
}
