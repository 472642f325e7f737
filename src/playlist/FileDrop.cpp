#include "playlist/FileDrop.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

bool CarriesFiles(const QDropEvent& event) {
    return event.mimeData() != nullptr && !LocalPaths(event.mimeData()->urls()).empty();
}

EDropEffect WantedEffect(const QDropEvent& event) {
    return DragEffect(CarriesFiles(event), event.modifiers().testFlag(Qt::ControlModifier));
}

} // namespace

EDropEffect DragEffect(bool hasFileList, bool ctrlHeld) {
    if (!hasFileList) {
        return EDropEffect::None;
    }
    return ctrlHeld ? EDropEffect::Copy : EDropEffect::Move;
}

Qt::DropAction OfferedAction(EDropEffect wanted, Qt::DropActions possible,
                             Qt::DropAction proposed) {
    if (wanted == EDropEffect::None) {
        return Qt::IgnoreAction;
    }
    const Qt::DropAction action = wanted == EDropEffect::Copy ? Qt::CopyAction : Qt::MoveAction;
    return possible.testFlag(action) ? action : proposed;
}

std::vector<std::wstring> LocalPaths(const QList<QUrl>& urls) {
    std::vector<std::wstring> paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            paths.push_back(url.toLocalFile().toStdWString());
        }
    }
    return paths;
}

void OnFileDragEnter(QDragEnterEvent& event) {
    event.setDropAction(Qt::IgnoreAction);
    event.setAccepted(CarriesFiles(event));
}

void OnFileDragMove(QDragMoveEvent& event) {
    const EDropEffect wanted = WantedEffect(event);
    if (wanted == EDropEffect::None) {
        event.ignore();
        return;
    }
    event.setDropAction(OfferedAction(wanted, event.possibleActions(), event.proposedAction()));
    event.accept();
}

std::optional<CFileDrop> OnFileDrop(QDropEvent& event) {
    const EDropEffect wanted = WantedEffect(event);
    if (wanted == EDropEffect::None) {
        event.ignore();
        return std::nullopt;
    }
    event.setDropAction(
        event.possibleActions().testFlag(Qt::CopyAction)
            ? Qt::CopyAction
            : OfferedAction(wanted, event.possibleActions(), event.proposedAction()));
    event.accept();
    return CFileDrop{LocalPaths(event.mimeData()->urls()), AppendOnDrop(wanted)};
}
