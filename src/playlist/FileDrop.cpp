#include "playlist/FileDrop.h"

#include "core/SystemFolders.h"
#include "core/WideText.h"

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

// toLocalFile decodes the URL's bytes as UTF-8 and replaces the rest, losing a file name that is
// not UTF-8; the percent-encoded bytes of the path are the name itself.
std::wstring LocalPathOf(const QUrl& url) {
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
        return url.toLocalFile().toStdWString(); // a share on another host, "//host/path"
    }
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return PathFromBytes(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

EDropEffect DragEffect(bool hasFileList, bool ctrlHeld) {
    if (!hasFileList) {
        return EDropEffect::None;
    }
    return ctrlHeld ? EDropEffect::Copy : EDropEffect::Move;
}

Qt::DropAction ReportedAction(Qt::DropActions possible) {
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (possible.testFlag(action)) {
            return action;
        }
    }
    return Qt::IgnoreAction;
}

std::vector<std::wstring> LocalPaths(const QList<QUrl>& urls) {
    std::vector<std::wstring> paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            paths.push_back(AbsolutePath(LocalPathOf(url)));
        }
    }
    return paths;
}

void OnFileDragEnter(QDragEnterEvent& event) {
    event.setDropAction(Qt::IgnoreAction);
    event.setAccepted(CarriesFiles(event));
}

void OnFileDragMove(QDragMoveEvent& event) {
    const Qt::DropAction action = ReportedAction(event.possibleActions());
    if (WantedEffect(event) == EDropEffect::None || action == Qt::IgnoreAction) {
        event.ignore();
        return;
    }
    event.setDropAction(action);
    event.accept();
}

std::optional<CFileDrop> OnFileDrop(QDropEvent& event) {
    const EDropEffect wanted = WantedEffect(event);
    const Qt::DropAction action = ReportedAction(event.possibleActions());
    if (wanted == EDropEffect::None || action == Qt::IgnoreAction) {
        event.ignore();
        return std::nullopt;
    }
    event.setDropAction(action);
    event.accept();
    return CFileDrop{LocalPaths(event.mimeData()->urls()), AppendOnDrop(wanted)};
}
