#include "playlist/ControlCenter.h"

#include "core/Log.h"
#include "core/PathValue.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"
#include "engine/EngineState.h"
#include "engine/MediaEvents.h"
#include "playlist/LoopMode.h"
#include "playlist/PlaylistEvents.h"
#include "playlist/PlaylistFile.h"

#include <QMetaObject>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <unordered_set>

namespace {

// A failing row that the loop mode picks again at once fails the same way each time; the second
// failure in a row shows it will not play.
constexpr int kMaxFailuresInRow = 2;

std::uint64_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The arguments that name an existing file or folder; the others would only add dead rows.
std::vector<std::wstring> ExistingPaths(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> kept;
    for (const std::wstring& argument : arguments) {
        std::error_code error;
        if (std::filesystem::exists(PathToBytes(argument), error)) {
            kept.push_back(argument);
        }
    }
    return kept;
}

} // namespace

CControlCenter::CControlCenter() = default;

CControlCenter::~CControlCenter() {
    if (m_timerRunning) {
        StopTimer(TIMER_NAVIGATION_DELAY);
    }
    m_controller.Unsubscribe(this);
    m_playlist.Unsubscribe(this);
}

bool CControlCenter::Initialise(QWidget* videoWindow, IPlaylistAdapter* adapter, int delayMs) {
    m_delayMs = delayMs;
    const bool windowMade = m_controller.Initialise(videoWindow) != 0;
    // Passed on to the window first; the center's own handlers below then act on the event.
    static constexpr CEventRelayEntry kMediaEvents[] = {
        {MediaEvents::Loading, MediaEvents::Loading},
        {MediaEvents::Loaded, MediaEvents::Loaded},
        {MediaEvents::Playing, MediaEvents::Playing},
        {MediaEvents::Paused, MediaEvents::Paused},
        {MediaEvents::Stopped, MediaEvents::Stopped},
        {MediaEvents::Aborted, MediaEvents::Aborted},
        {MediaEvents::Completed, MediaEvents::Completed},
        {MediaEvents::LoadFailed, MediaEvents::LoadFailed},
        {MediaEvents::PositionChanged, MediaEvents::PositionChanged},
    };
    m_mediaEvents.Connect(m_controller, *this, kMediaEvents);
    const struct {
        const wchar_t* name;
        Handler handler;
    } events[] = {
        {MediaEvents::Loaded, &CControlCenter::OnMediaLoaded},
        {MediaEvents::Aborted, &CControlCenter::OnMediaAborted},
        {MediaEvents::Completed, &CControlCenter::OnMediaCompleted},
        {MediaEvents::LoadFailed, &CControlCenter::OnMediaLoadFailed},
    };
    for (const auto& event : events) {
        m_controller.Subscribe(this, event.name, RegisterHandler(event.handler));
    }
    m_playlist.Attach(adapter);
    m_playlist.Subscribe(this, PlaylistEvents::ListItemActived,
                         RegisterHandler(&CControlCenter::OnListItemActived));
    return windowMade;
}

void CControlCenter::Reset() {
    SetUserShift(nullptr);
    m_controller.Stop();
}

void CControlCenter::Close() {
    m_controller.Shutdown();
}

void CControlCenter::Play() {
    if (m_controller.IsLoaded()) {
        m_controller.PlayPause();
    } else if (m_playlist.GetItemCount() > 0) {
        SetUserShift(&CClipShiftStateJump::Instance());
        ShiftClip();
    }
}

void CControlCenter::First() {
    Navigate(m_playlist.IsReady(), &CPlaylistOperator::MoveFirst);
}
void CControlCenter::Last() {
    Navigate(m_playlist.IsReady(), &CPlaylistOperator::MoveLast);
}
void CControlCenter::Previous() {
    Navigate(m_playlist.HasPrevious(), &CPlaylistOperator::MovePrevious);
}
void CControlCenter::Next() {
    Navigate(m_playlist.HasNext(), &CPlaylistOperator::MoveNext);
}

void CControlCenter::Navigate(bool allowed, CClipInfo* (CPlaylistOperator::*move)()) {
    if (!allowed) {
        return;
    }
    (m_playlist.*move)();
    SetUserShift(&CClipShiftStateJump::Instance());
    if (m_timerRunning) {
        StopTimer(TIMER_NAVIGATION_DELAY);
    }
    m_timerRunning = StartTimer(TIMER_NAVIGATION_DELAY, m_delayMs, this) == TIMER_NAVIGATION_DELAY;
}

void CControlCenter::OnTimer(int /*timerId*/) {
    StopTimer(TIMER_NAVIGATION_DELAY);
    m_timerRunning = false;
    if (m_controller.IsLoaded()) {
        // Playing or paused, this aborts the clip and "MediaAborted" runs the pending Jump.
        m_controller.Abort();
    } else {
        ShiftClip();
    }
    if (m_mainWindow != nullptr) {
        m_mainWindow->setFocus();
    }
}

void CControlCenter::ShiftClip() {
    if (m_shiftState != nullptr) {
        m_shiftState->Shift(*this);
    }
}

void CControlCenter::SetUserShift(const IClipShiftState* state) {
    if (state != nullptr) {
        m_shiftState = state;
    }
    ++m_continuation;
    ForgetFailures();
}

void CControlCenter::ForgetFailures() {
    m_lastFailed = nullptr;
    m_failedInRow = 0;
}

void CControlCenter::LoadAndPlay(CClipInfo* item) {
    m_loading = item;
    if (m_controller.Load(item) != 0) {
        m_controller.PlayPause();
    }
}

void CControlCenter::ContinueAfterFailure() {
    if (m_failedInRow >= kMaxFailuresInRow &&
        m_playlist.GetLoopMode() == &FindLoopMode(LoopModeNames::SingleFileLoop)) {
        Log({"CControlCenter::ContinueAfterFailure", LOG_LEVEL_INFO},
            "%s failed to play %d times in a row, playback stops",
            WideToUtf8(m_lastFailed->path).c_str(), m_failedInRow);
        m_controller.Stop();
        return;
    }
    ShiftClip();
}

void CControlCenter::OnMediaLoaded(ISubject*, EventArg, EventArg) {
    m_shiftState = &CClipShiftStateFinished::Instance();
}

void CControlCenter::OnMediaAborted(ISubject*, EventArg, EventArg) {
    ShiftClip();
}

void CControlCenter::OnMediaCompleted(ISubject*, EventArg, EventArg) {
    if (!m_controller.DeliveredAnySample() && m_loading != nullptr) {
        // A file whose streams are found but hold nothing decodable loads, ends at once and would
        // be loaded again at once by a looping mode, without end.
        Log({"CControlCenter::OnMediaCompleted", LOG_LEVEL_INFO},
            "%s ended without a picture or a sound; marked as failed",
            WideToUtf8(m_loading->path).c_str());
        m_loading->loadFailed = 1;
        OnClipFailed();
        return;
    }
    ForgetFailures();
    ShiftClip();
}

void CControlCenter::OnMediaLoadFailed(ISubject*, EventArg, EventArg) {
    m_shiftState = &CClipShiftStateFinished::Instance();
    OnClipFailed();
}

void CControlCenter::OnClipFailed() {
    if (m_loading != nullptr && m_loading == m_lastFailed) {
        ++m_failedInRow;
    } else {
        m_lastFailed = m_loading;
        m_failedInRow = 1;
    }
    // Continuing here would load the next row inside this failure, and a run of missing files
    // would nest one load per file; the event loop takes one row per turn instead.
    const unsigned continuation = m_continuation;
    QMetaObject::invokeMethod(
        &m_postTarget,
        [this, continuation] {
            if (continuation == m_continuation) {
                ContinueAfterFailure();
            }
        },
        Qt::QueuedConnection);
}

void CControlCenter::OnListItemActived(ISubject*, EventArg arg1, EventArg /*arg2*/) {
    Adapter()->SetActiveItem(static_cast<int>(arg1));
    SetUserShift(&CClipShiftStateJump::Instance());
    ShiftClip();
    m_shiftState = &CClipShiftStateFinished::Instance();
}

void CControlCenter::AddFile(const std::wstring& path) {
    auto item = std::make_unique<CClipInfo>();
    // A relative row would name another file, or none, once the program starts elsewhere.
    item->path = AbsolutePath(path);
    item->title = CPathValue(item->path).FileName();
    item->ReadFileAttributes();
    item->addTime = TickCount();
    IPlaylistAdapter* adapter = Adapter();
    const int row = adapter->InsertItem(adapter->GetItemCount(), item->DisplayName());
    adapter->SetItemText(row, 1, std::wstring());
    adapter->SetItemData(row, item.get());
    adapter->ResizeColumns();
    CClipInfo* raw = item.get();
    m_items.emplace(raw, std::move(item));
}

void CControlCenter::LoadPlaylistFile(const std::wstring& path) {
    ReadPlaylistFile(path, [this](const std::wstring& line) { AddFile(line); });
}

void CControlCenter::AddPlaylistOrFile(const std::wstring& path) {
    // Exactly "mpl": the extension test of the stored playlists is case-sensitive.
    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos &&
        path.compare(dot + 1, std::wstring::npos, kPlaylistExtension) == 0) {
        LoadPlaylistFile(path);
    } else {
        AddFile(path);
    }
}

void CControlCenter::AddPaths(const std::vector<std::wstring>& paths, bool append) {
    if (!append) {
        Reset();
        ClearPlaylist();
    }
    for (const std::wstring& path : paths) {
        AddPlaylistOrFile(AbsolutePath(path));
    }
    if (!append) {
        Play();
    }
}

void CControlCenter::OpenCommandLine(const std::vector<std::wstring>& arguments) {
    const std::vector<std::wstring> kept = ExistingPaths(arguments);
    if (kept.empty()) {
        return;
    }
    AddPaths(kept, true);
    Last();
}

void CControlCenter::OpenFromLaterStart(const std::vector<std::wstring>& arguments) {
    const int firstAdded = m_playlist.GetItemCount();
    AddPaths(ExistingPaths(arguments), true);
    if (m_playlist.GetItemCount() > firstAdded) {
        Adapter()->SetActiveItem(firstAdded);
        // The row is chosen already; the current item is the one to load after the delay.
        Navigate(true, &CPlaylistOperator::GetCurrentItem);
    }
}

void CControlCenter::ForgetItems() {
    // A destroyed item's address may come back for a new one; no count may carry over.
    m_loading = nullptr;
    ForgetFailures();
}

void CControlCenter::ClearPlaylist() {
    IPlaylistAdapter* adapter = Adapter();
    ForgetItems();
    adapter->DeleteAllItems();
    m_items.clear();
    adapter->ResizeColumns();
    adapter->Refresh();
    adapter->ResizeColumns();
    adapter->SetActiveItem(-1);
    adapter->Refresh();
}

void CControlCenter::DeleteSelected() {
    IPlaylistAdapter* adapter = Adapter();
    std::vector<CClipInfo*> doomed;
    const int count = adapter->GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (adapter->IsItemSelected(row) && adapter->CanDeleteItem(row)) {
            doomed.push_back(adapter->GetItemData(row));
        }
    }
    ForgetItems();
    adapter->DeleteSelectedItems();
    // Only items whose rows really went: a row left in the list must not point at a freed item.
    std::unordered_set<CClipInfo*> kept;
    for (int row = 0; row < adapter->GetItemCount(); ++row) {
        kept.insert(adapter->GetItemData(row));
    }
    for (CClipInfo* item : doomed) {
        if (kept.count(item) == 0) {
            m_items.erase(item);
        }
    }
    adapter->ResizeColumns();
    adapter->Refresh();
}
