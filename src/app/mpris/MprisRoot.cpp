#include "app/mpris/MprisRoot.h"

#include <QGuiApplication>
#include <QWidget>

#include "platform/SingleInstance.h"

CMprisRoot::CMprisRoot(QObject* exported, QWidget& window, std::function<void()> quit)
    : QDBusAbstractAdaptor(exported), m_window(window), m_quit(std::move(quit)) {}

QString CMprisRoot::Identity() const {
    return QGuiApplication::applicationDisplayName();
}

QString CMprisRoot::DesktopEntry() const {
    return QGuiApplication::desktopFileName();
}

QStringList CMprisRoot::SupportedUriSchemes() const {
    return {QStringLiteral("file")};
}

void CMprisRoot::Raise() {
    CInstanceChecker::BringWindowForward(m_window);
}

void CMprisRoot::Quit() {
    QMetaObject::invokeMethod(this, m_quit, Qt::QueuedConnection);
}
