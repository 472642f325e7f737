#include "app/dialogs/DlgAbout.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrlQuery>

#include "app/VendorSite.h"
#include "app/dialogs/DialogTemplate.h"

namespace {

constexpr wchar_t kProductName[] = L"Zelia Media Player";
constexpr char kChangeLogPath[] = "/media-player/changelog.htm";

} // namespace

QUrl ChangeLogUrl(const std::wstring& version) {
    QUrl url(QString::fromStdString(VendorPage(kChangeLogPath)));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("v"), QString::fromStdWString(version));
    url.setQuery(query);
    return url;
}

CDlgAbout::CDlgAbout(std::wstring version, QWidget* parent)
    : QDialog(parent), m_version(std::move(version)), m_versionText(new QLabel(this)),
      m_link(new QLabel(this)) {
    setFont(TemplateDialogFont());
    const CDialogUnits units(font());
    setFixedSize(units.Size(196, 86));

    const QString text = QString::fromStdWString(std::wstring(kProductName) + L" " + m_version);
    setWindowTitle(text);

    auto* icon = new QLabel(this);
    icon->setPixmap(TemplateDialogIcon(*this));
    icon->setGeometry(QRect(units.Point(9, 9), QSize(kTemplateIconSize, kTemplateIconSize)));

    m_versionText->setText(text);
    m_versionText->setGeometry(units.Rect(53, 16, 124, 15));

    m_link->setText(QStringLiteral("<a href=\"changelog\">ChangeLog</a>"));
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_link->setGeometry(units.Rect(53, 36, 124, 14));
    connect(m_link, &QLabel::linkActivated, this,
            [this] { QDesktopServices::openUrl(ChangeLogUrl(m_version)); });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.Rect(33, 56, 129, 19));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString CDlgAbout::VersionText() const {
    return m_versionText->text();
}
