#include "MishapDialog.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kErrorLogName = "ERRORLOG.TXT";
constexpr int kWidth = 720;
constexpr int kHeight = 480;

} // namespace

QString ReadErrorLog(const std::string& folder) {
    std::ifstream file(folder + kErrorLogName, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() / 2));
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

CMishapDialog::CMishapDialog(const QString& program, const QString& version, std::string folder)
    : m_folder(std::move(folder)), m_report(ReadErrorLog(m_folder)) {
    const QString name = version.isEmpty() ? program : program + QLatin1Char(' ') + version;
    const QString shownFolder = QFile::decodeName(QByteArray::fromStdString(m_folder));
    setWindowTitle(tr("%1 has stopped").arg(name));
    resize(kWidth, kHeight);

    auto* summary = new QLabel(
        m_report.isEmpty()
            ? tr("%1 ended because of an error. No error report was found in %2.")
                  .arg(name, shownFolder)
            : tr("%1 ended because of an error. The report below and a memory dump were saved "
                 "in %2.")
                  .arg(name, shownFolder),
        this);
    summary->setWordWrap(true);
    auto* report = new QPlainTextEdit(m_report, this);
    report->setReadOnly(true);
    report->setLineWrapMode(QPlainTextEdit::NoWrap);
    report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(tr("&Copy Report"), QDialogButtonBox::ActionRole);
    QPushButton* open = buttons->addButton(tr("&Open Folder"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    copy->setEnabled(!m_report.isEmpty());
    connect(copy, &QPushButton::clicked, this, &CMishapDialog::CopyReport);
    connect(open, &QPushButton::clicked, this, &CMishapDialog::OpenFolder);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(report, 1);
    layout->addWidget(buttons);
}

void CMishapDialog::CopyReport() {
    QGuiApplication::clipboard()->setText(m_report);
}

void CMishapDialog::OpenFolder() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(m_folder))));
}
