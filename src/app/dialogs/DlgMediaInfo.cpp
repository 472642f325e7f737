#include "app/dialogs/DlgMediaInfo.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "app/dialogs/DialogTemplate.h"

namespace {

// Width of the list's first column, in pixels, at the least.
constexpr int kTitleColumnWidth = 100;

} // namespace

CDlgMediaInfo::CDlgMediaInfo(const CMediaFacts& facts, QWidget* parent)
    : QDialog(parent), m_fileName(new QLabel(this)), m_folder(new QLabel(this)),
      m_list(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Media Infomation"));
    setFont(TemplateDialogFont());
    const CDialogUnits units(font());
    setFixedSize(units.Size(196, 283));

    auto* icon = new QLabel(this);
    icon->setPixmap(TemplateDialogIcon(*this));
    icon->setGeometry(QRect(units.Point(7, 7), QSize(kTemplateIconSize, kTemplateIconSize)));

    const QString path = QString::fromStdWString(facts.path);
    const qsizetype split = path.lastIndexOf(QLatin1Char('/')) + 1;
    m_fileNameText = path.mid(split);
    m_folderText = path.left(split);
    const QFontMetrics metrics(font());
    const auto place = [&](QLabel* label, const QString& text, const QRect& box) {
        label->setGeometry(box);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setText(WrapToBox(text, metrics, box.width(),
                                 std::max(1, box.height() / metrics.lineSpacing())));
        label->setToolTip(path);
    };
    place(m_fileName, m_fileNameText, units.Rect(40, 10, 147, 27));
    place(m_folder, m_folderText, units.Rect(39, 42, 148, 22));
    auto* pathLabel = new QLabel(QStringLiteral("Path:"), this);
    pathLabel->setGeometry(units.Rect(7, 42, 30, 8));

    m_list->setGeometry(units.Rect(7, 71, 182, 185));
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const CMediaInfoRow& row : MediaInfoRows(facts)) {
        new QTreeWidgetItem(
            m_list, {QString::fromStdWString(row.label), QString::fromStdWString(row.value)});
    }
    SizeColumns();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.Rect(136, 261, 53, 15));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

std::vector<CMediaInfoRow> CDlgMediaInfo::ShownRows() const {
    std::vector<CMediaInfoRow> rows;
    for (int index = 0; index < m_list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem* item = m_list->topLevelItem(index);
        rows.push_back({item->text(0).toStdWString(), item->text(1).toStdWString()});
    }
    return rows;
}

QString CDlgMediaInfo::FileNameText() const {
    return m_fileNameText;
}

QString CDlgMediaInfo::FolderText() const {
    return m_folderText;
}

void CDlgMediaInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SizeColumns(); // the viewport has its final width only now
}

void CDlgMediaInfo::SizeColumns() {
    // Wider than the template's 100 pixels where the desktop font needs it for the longest label.
    m_list->resizeColumnToContents(0);
    const int title = std::max(kTitleColumnWidth, m_list->columnWidth(0));
    m_list->setColumnWidth(0, title);
    m_list->setColumnWidth(1, std::max(0, m_list->viewport()->width() - title));
}
