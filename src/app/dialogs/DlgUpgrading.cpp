#include "app/dialogs/DlgUpgrading.h"

#include "app/VendorSite.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace {

// The dialog keeps this far from the right and bottom edges of the screen.
constexpr int kCornerMargin = 100;
constexpr char kDisplayName[] = "Zelia Media Player";

} // namespace

CDlgUpgrading::CDlgUpgrading(const std::wstring& installerName, const std::wstring& runningVersion,
                             QWidget* parent)
    : QDialog(parent), m_runningVersion(runningVersion) {
    setWindowTitle(QStringLiteral("%1 %2").arg(QString::fromUtf8(kDisplayName),
                                               QString::fromStdWString(runningVersion)));

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(iconSize));
    auto* text = new QLabel(QStringLiteral("QOR new revision availabled!\n\n%1")
                                .arg(QString::fromStdWString(installerName)),
                            this);
    text->setObjectName(QStringLiteral("text"));
    text->setTextFormat(Qt::PlainText);
    auto* whatsNew = new QLabel(QStringLiteral("<a href=\"changelog\">What's New</a>"), this);
    whatsNew->setObjectName(QStringLiteral("whatsNew"));
    connect(whatsNew, &QLabel::linkActivated, this,
            [this] { QDesktopServices::openUrl(ChangeLogUrl(m_runningVersion)); });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* install =
        buttons->addButton(QStringLiteral("Install"), QDialogButtonBox::AcceptRole);
    install->setObjectName(QStringLiteral("install"));
    install->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* message = new QHBoxLayout;
    message->addWidget(icon, 0, Qt::AlignTop);
    message->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message);
    layout->addWidget(whatsNew);
    layout->addWidget(buttons);
    adjustSize();
}

QUrl CDlgUpgrading::ChangeLogUrl(const std::wstring& runningVersion) {
    QUrl url(QString::fromStdString(VendorPage("/media-player/changelog.htm")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("v"), QString::fromStdWString(runningVersion));
    query.addQueryItem(QStringLiteral("u"), QStringLiteral("1"));
    url.setQuery(query);
    return url;
}

void CDlgUpgrading::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* display = screen()) {
        const QRect area = display->geometry();
        move(area.x() + area.width() - width() - kCornerMargin,
             area.y() + area.height() - height() - kCornerMargin);
    }
}
