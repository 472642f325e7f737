#pragma once

// Files dropped on the main window. The rules are pure functions; the three event helpers apply
// them to Qt's drag events and are called from the window's dragEnterEvent, dragMoveEvent and
// dropEvent on the user-interface thread. A plain drop replaces the playlist, a drop with Ctrl
// held appends to it.

#include <QList>
#include <QUrl>
#include <Qt>
#include <optional>
#include <string>
#include <vector>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

enum class EDropEffect { None, Copy, Move };

// What the drop does to the playlist: copy (append) with Ctrl held, move (replace) without;
// nothing unless files are dragged.
EDropEffect DragEffect(bool hasFileList, bool ctrlHeld);
inline bool AppendOnDrop(EDropEffect effect) {
    return effect == EDropEffect::Copy;
}

// The action reported to the drag source, whichever the effect on the playlist: the player only
// reads the files, and a source told "move" deletes the originals. Copy, else link; a source that
// can only move gets no drop.
Qt::DropAction ReportedAction(Qt::DropActions possible);

// The local paths of the file URLs, in their order, whole (folders too), absolute, byte for byte
// whatever the names hold (see WideText.h); other URLs are skipped.
std::vector<std::wstring> LocalPaths(const QList<QUrl>& urls);

struct CFileDrop {
    std::vector<std::wstring> paths; // never empty
    bool append = false;
};

// Accepts a file drag so that moves follow, but offers nothing until the first move.
void OnFileDragEnter(QDragEnterEvent& event);
void OnFileDragMove(QDragMoveEvent& event);
// The dropped files for the control center, or nothing when no file was dropped.
std::optional<CFileDrop> OnFileDrop(QDropEvent& event);
