#pragma once
// Joins the playlist, the playback controller and the main window: turns user commands (open,
// add, delete, save, play, first/last/previous/next, row activation) into playlist changes and
// load/play requests, re-raises the controller's media events on its own subject (the window
// observes the center, not the controller), and decides what plays after a clip ends, fails or is
// aborted (the clip-shift states).
//
// Events raised on this subject: "MediaLoading", "MediaLoaded", "MediaPlaying", "MediaPaused",
// "MediaStopped", "MediaAborted", "MediaCompleted", "MediaLoadFailed", "MediaPositionChanged",
// each with the controller's two arguments.
//
// Threads: user-interface thread only; the navigation delay is timer 0 of the timer service, and
// a failed load continues from the event loop (a posted call), never nested in the failure.
//
// Ownership: the controller and the playlist operator are embedded. The center creates every
// row's CClipInfo and destroys it when the row goes, and the rest with itself, so the adapter's
// rows must not be read after the center is gone. The adapter is not owned and must outlive the
// center. The video window may be destroyed before or after Close, or the center without Close
// (see CPlaybackController). Initialise comes before any other call.
//
// Paths: every path the center is given (arguments, drops, dialog answers, playlist-file lines) is
// made absolute against the current folder (AbsolutePath) before it becomes a row or reaches the
// engine, so a saved playlist names the same files wherever the program starts next.
#include "core/EventBus.h"
#include "core/EventRelay.h"
#include "core/TimerIds.h"
#include "core/TimerService.h"
#include "engine/PlaybackController.h"
#include "playlist/CenterDialogs.h"
#include "playlist/ClipShiftState.h"
#include "playlist/PlaylistOperator.h"

#include <QObject>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class IDiscAccess;
class QWidget;

// One file entry of the "&Playlist" menu.
struct CPlaylistMenuEntry {
    int command;
    std::wstring caption;
    std::wstring path; // the file the entry opens, whatever its command
};

class CControlCenter : public ITimerClient, public ISubject, public CObserver<CControlCenter> {
public:
    static constexpr int kDefaultDelayMs = 500;
    // "&Default Playlist"; the files of the Playlists folder follow from kPlaylistMenuFirst + 1.
    static constexpr int kPlaylistMenuFirst = 15000;

    CControlCenter();
    ~CControlCenter() override;
    CControlCenter(const CControlCenter&) = delete;
    CControlCenter& operator=(const CControlCenter&) = delete;

    // Hands the video window to the controller, wires the media events and attaches the operator
    // to the adapter (selecting PLAYLISTLOOP). False when the controller could not make its
    // window.
    bool Initialise(QWidget* videoWindow, IPlaylistAdapter* adapter, int delayMs);
    // Stops playback.
    void Reset();
    // Releases the playback graph; on closing the order is Reset, SaveDefaultPlaylist, Close.
    void Close();

    void Play();
    // Each moves the active row at once and loads it after the delay, so quick repeated presses
    // load only the last row.
    void First();
    void Last();
    void Previous();
    void Next();
    void OnTimer(int timerId) override;

    void AddFile(const std::wstring& path);
    // Appends a row for every line, empty lines too; an unreadable file adds nothing.
    void LoadPlaylistFile(const std::wstring& path);
    // Dropped files and the command line: without append, playback stops, the list is replaced
    // and played.
    void AddPaths(const std::vector<std::wstring>& paths, bool append);
    // The program's file arguments: those that name an existing file or folder are appended and
    // the last row is played after the delay (in the playlist modes; the others keep their row).
    void OpenCommandLine(const std::vector<std::wstring>& arguments);
    // The files a later start of the program passes on: those that name an existing file or
    // folder are appended, and the first row they add plays after the delay, whatever the loop
    // mode.
    void OpenFromLaterStart(const std::vector<std::wstring>& arguments);
    void ClearPlaylist();
    void DeleteSelected();

    // File commands; each asks through the dialogs (see SetDialogs).
    void OpenFiles(bool clearFirst);
    void AddFiles();
    void AddPlaylists();
    void OpenPlaylists();
    void SavePlaylistAs();
    void AddFolder();
    void LoadSubtitle();

    // False when the file could not be written (the old file, if any, is kept).
    bool SavePlaylist(const std::wstring& path);
    bool SaveDefaultPlaylist();
    void LoadDefaultPlaylist();
    // A missing file does nothing.
    void OpenPlaylist(const std::wstring& path);
    // The file entries of the "&Playlist" menu, in the order found.
    std::vector<CPlaylistMenuEntry> PlaylistMenuEntries() const;
    // Command kPlaylistMenuFirst + k: 0 the default playlist, else file k - 1; others do nothing.
    void ChoosePlaylistCommand(int command);

    // Replaces the playlist with the playable files of the first disc found and plays them. With
    // no playable disc it says so (through the dialogs) and leaves the playlist and playback.
    void OpenDisc();
    void OpenDisc(IDiscAccess& access);

    // The dialogs the file commands ask; not owned, and they must outlive their use here. With
    // none (the start, or null) every question is answered as if the user cancelled and a message
    // is not shown.
    void SetDialogs(ICenterDialogs* dialogs) { m_dialogs = dialogs; }
    // The owner of the dialogs and the widget that gets the focus after a navigation.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    // The item records the center holds: one per row while every removal of rows goes through
    // it (DeleteSelected, ClearPlaylist).
    std::size_t GetItemRecordCount() const { return m_items.size(); }
    CPlaybackController& GetController() { return m_controller; }
    CPlaylistOperator& GetPlaylist() { return m_playlist; }
    const IClipShiftState* GetShiftState() const { return m_shiftState; }

    // For the clip-shift states: loads the item and plays it when it loaded.
    void LoadAndPlay(CClipInfo* item);

private:
    void ShiftClip();
    // A shift chosen by the user (null keeps the state): it replaces any continuation still
    // waiting for the event loop.
    void SetUserShift(const IClipShiftState* state);
    void Navigate(bool allowed, CClipInfo* (CPlaylistOperator::*move)());
    void ContinueAfterFailure();
    // The dialog's chosen path for the preference: the file, or the folder of several files.
    static std::wstring ChosenPath(const std::vector<std::wstring>& files);
    std::vector<std::wstring> AskFiles(CFileQuestion question);
    // A multi-select open dialog starting where the user last chose media (or playlists); the
    // choice is remembered for the next time. Empty when cancelled.
    std::vector<std::wstring> AskOpenFiles(std::wstring filter, bool playlists);
    void AddPlaylistOrFile(const std::wstring& path);
    void ForgetItems();
    IPlaylistAdapter* Adapter() const { return m_playlist.GetAdapter(); }

    void OnMediaLoaded(ISubject* sender, EventArg arg1, EventArg arg2);
    // An aborted or completed clip: the clip-shift state decides what plays next. A clip that
    // completes without having shown a picture or played a sound failed, as a failed load does.
    void OnMediaAborted(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnMediaCompleted(ISubject* sender, EventArg arg1, EventArg arg2);
    void OnMediaLoadFailed(ISubject* sender, EventArg arg1, EventArg arg2);
    // Counts the failure of the item in hand and continues from the event loop.
    void OnClipFailed();
    // A clip played, or the user chose: no earlier failure counts towards giving up.
    void ForgetFailures();
    void OnListItemActived(ISubject* sender, EventArg arg1, EventArg arg2);

    CPlaybackController m_controller;
    // The controller's media events raised again for the window; declared after the controller.
    CEventRelay m_mediaEvents;
    CPlaylistOperator m_playlist;
    const IClipShiftState* m_shiftState = nullptr; // singleton, not owned
    int m_delayMs = kDefaultDelayMs;
    bool m_timerRunning = false;
    // Every item the rows point to, and those of rows removed without destroying their item.
    std::unordered_map<CClipInfo*, std::unique_ptr<CClipInfo>> m_items;
    QWidget* m_mainWindow = nullptr;     // not owned
    ICenterDialogs* m_dialogs = nullptr; // not owned
    // The current playlist file, set by OpenPlaylist; where "Save Playlist As" starts.
    std::wstring m_playlistPath;

    // Posted continuations run on this object's thread and die with it, so none reaches a
    // destroyed center.
    QObject m_postTarget;
    // Bumped by every user shift; a posted continuation carrying an older value is dropped.
    unsigned m_continuation = 0;
    // The item of the last load asked for, and how often it failed in a row (to load, or to show
    // anything) with nothing played between: the single-file loop retries a failing row at once,
    // so a second failure of the same row ends playback.
    CClipInfo* m_loading = nullptr;
    CClipInfo* m_lastFailed = nullptr;
    int m_failedInRow = 0;
};
