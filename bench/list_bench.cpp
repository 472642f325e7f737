// What the skinned playlist costs with 100,000 rows, shown on screen: inserting the rows through
// the playlist adapter (title, duration text and item per row, as the control center adds files),
// sorting them by title, and scrolling to the last row, each followed by the repaint it causes.
// Beside each, the same operation on a plain QTableView over a bare model of the same texts.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include "playlist/PlaylistSort.h"
#include "skin/list/SkinList.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <time.h>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr double kGoalMilliseconds = 500.0;
const QSize kListSize(400, 600);

// Processor time of this thread: the machine may be busy with other work, which wall-clock time
// would count against whichever side ran while it was.
double ThreadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct CCost {
    double wall = 0.0;
    double processor = 0.0;
};

template <class F> CCost Measure(F work) {
    const auto begin = std::chrono::steady_clock::now();
    const double beginProcessor = ThreadMilliseconds();
    work();
    // Layout and painting that the operation left pending count as part of it.
    QCoreApplication::processEvents();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - begin;
    return {spent.count(), ThreadMilliseconds() - beginProcessor};
}

// The peer: two text columns in a vector, rows inserted one at a time, sorted by title.
class CPlainModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) {
            return {};
        }
        const auto& row = m_rows[static_cast<std::size_t>(index.row())];
        return index.column() == 0 ? row.first : row.second;
    }
    void Append(const QString& title, const QString& duration) {
        const int row = static_cast<int>(m_rows.size());
        beginInsertRows({}, row, row);
        m_rows.emplace_back(title, QString());
        endInsertRows();
        m_rows.back().second = duration;
        Q_EMIT dataChanged(index(row, 1), index(row, 1));
    }
    void SortByTitle() {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

private:
    std::vector<std::pair<QString, QString>> m_rows;
};

void Print(const char* operation, CCost ours, CCost peer) {
    std::printf("%-18s %7.1f ms (processor %7.1f ms)   plain QTableView %7.1f ms (processor "
                "%7.1f ms)%s\n",
                operation, ours.wall, ours.processor, peer.wall, peer.processor,
                ours.processor < kGoalMilliseconds ? "" : "   over the 0.5 s goal");
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);

    std::mt19937 random(2024);
    std::vector<std::unique_ptr<CClipInfo>> items;
    for (int i = 0; i < kRows; ++i) {
        auto item = std::make_unique<CClipInfo>();
        item->title = L"Episode " + std::to_wstring(random() % 100000) + L" of the series";
        item->duration = static_cast<double>(random() % 7200);
        items.push_back(std::move(item));
    }
    const std::wstring duration = L"1:23:45";

    QWidget host;
    host.resize(kListSize);
    CSkinList list;
    list.Create(&host, 0, 0, kListSize.width(), kListSize.height());
    host.show();
    QCoreApplication::processEvents();

    QTableView plainView;
    CPlainModel plainModel;
    plainView.setModel(&plainModel);
    plainView.resize(kListSize);
    plainView.show();
    QCoreApplication::processEvents();

    const CCost insert = Measure([&] {
        for (int row = 0; row < kRows; ++row) {
            const CClipInfo& item = *items[static_cast<std::size_t>(row)];
            list.InsertItem(row, item.title);
            list.SetItemText(row, 1, duration);
            list.SetItemData(row, items[static_cast<std::size_t>(row)].get());
        }
        list.ResizeColumns();
    });
    const CCost plainInsert = Measure([&] {
        for (const auto& item : items) {
            plainModel.Append(QString::fromStdWString(item->title),
                              QString::fromStdWString(duration));
        }
    });

    list.SetActiveItem(kRows / 2);
    const CCost sort = Measure([&] { list.SortItems(kSortByTitle); });
    const CCost plainSort = Measure([&] { plainModel.SortByTitle(); });

    const CCost scroll = Measure([&] { list.EnsureVisible(kRows - 1); });
    const CCost plainScroll = Measure([&] { plainView.scrollToBottom(); });

    if (list.GetItemCount() != kRows || list.GetItemData(list.GetActiveItem()) !=
                                            items[static_cast<std::size_t>(kRows / 2)].get()) {
        std::fprintf(stderr, "the list lost rows or its active item\n");
        return 1;
    }
    std::printf("%d rows in a %d x %d list, shown\n", kRows, kListSize.width(), kListSize.height());
    Print("insert rows", insert, plainInsert);
    Print("sort by title", sort, plainSort);
    Print("scroll to the end", scroll, plainScroll);
    return 0;
}
