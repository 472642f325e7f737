#include "playlist/PlaylistSort.h"

#include "core/TimeText.h"
#include "playlist/PlaylistRandom.h"

#include <algorithm>
#include <numeric>

namespace {

template <class T> int Compare(T a, T b) {
    return a == b ? 0 : (a > b ? 1 : -1);
}

// Ordinal and case-sensitive, code point by code point.
int CompareText(const std::wstring& a, const std::wstring& b) {
    return std::clamp(a.compare(b), -1, 1);
}

} // namespace

int ComparePlaylistItems(int key, const CClipInfo* a, const CClipInfo* b) {
    static const CClipInfo kEmpty;
    const CClipInfo& x = a != nullptr ? *a : kEmpty;
    const CClipInfo& y = b != nullptr ? *b : kEmpty;
    switch (key) {
    case kSortByTitle:
        return CompareText(x.DisplayName(), y.DisplayName());
    case kSortByFileSize:
        return Compare(x.fileSize, y.fileSize);
    case kSortByAddTime:
        return Compare(x.addTime, y.addTime);
    case kSortByLastAccessTime:
        return Compare(x.lastAccessTime, y.lastAccessTime);
    case kSortByCreateTime:
        return Compare(x.creationTime, y.creationTime);
    case kSortByDuration:
        return Compare(WholeSeconds(x.duration), WholeSeconds(y.duration));
    default:
        return 0;
    }
}

CPlaylistSorter::CResult CPlaylistSorter::Sort(int key, const std::vector<const CClipInfo*>& items,
                                               int activeRow) {
    CResult result;
    if (items.empty()) {
        return result;
    }
    const int count = static_cast<int>(items.size());
    const CClipInfo* const active =
        activeRow >= 0 && activeRow < count ? items[activeRow] : nullptr;
    m_ascending = key == m_lastKey ? !m_ascending : true;

    result.order.resize(items.size());
    std::iota(result.order.begin(), result.order.end(), 0);
    if (key == kSortShuffle) {
        // A comparator answering at random breaks every sort algorithm's assumptions (and may
        // make it read past the range); dealing the rows out at random is what was meant.
        for (int row = count - 1; row > 0; --row) {
            std::swap(result.order[row], result.order[NextPlaylistRandom(row + 1)]);
        }
    } else {
        const int sign = m_ascending ? 1 : -1;
        // Pre-computed display names: a title sort otherwise builds two strings per comparison.
        std::vector<std::wstring> names;
        if (key == kSortByTitle) {
            names.reserve(items.size());
            for (const CClipInfo* item : items) {
                names.push_back(item != nullptr ? item->DisplayName() : std::wstring());
            }
        }
        std::stable_sort(result.order.begin(), result.order.end(), [&](int a, int b) {
            const int order = key == kSortByTitle ? CompareText(names[a], names[b])
                                                  : ComparePlaylistItems(key, items[a], items[b]);
            return order * sign < 0;
        });
    }

    if (active != nullptr) {
        for (int row = 0; row < count; ++row) {
            if (items[result.order[row]] == active) {
                result.activeRow = row;
                break;
            }
        }
    }
    m_lastKey = key;
    return result;
}
