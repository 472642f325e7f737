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

// Copy (append) with Ctrl held, move (replace) without; nothing unless files are dragged.
EDropEffect DragEffect(bool hasFileList, bool ctrlHeld);
inline bool AppendOnDrop(EDropEffect effect) {
    return effect == EDropEffect::Copy;
}

// The action shown to the user and the drag source: the wanted one when the source allows it,
// else what the source proposes, so that a source offering only one action can still drop.
Qt::DropAction OfferedAction(EDropEffect wanted, Qt::DropActions possible, Qt::DropAction proposed);

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
// The dropped files for the control center, or nothing when no file was dropped. The source is
// always told the files were copied: the player only reads them, and a source that took "move"
// literally would delete the originals.
std::optional<CFileDrop> OnFileDrop(QDropEvent& event);
