#include "playlist/LoopMode.h"

#include "playlist/PlaylistOperator.h"
#include "playlist/PlaylistRandom.h"

namespace {

// The rows before and after i, wrapping at the ends.
int PreviousRow(int i, int count) {
    return i < 1 ? count - 1 : i - 1;
}

int NextRow(int i, int count) {
    return i < count - 1 ? i + 1 : 0;
}

CClipInfo* MoveTo(CPlaylistOperator& op, int row, bool scroll) {
    IPlaylistAdapter& list = *op.GetAdapter();
    list.SetActiveItem(row);
    if (scroll) {
        list.EnsureVisible(row);
    }
    return list.GetItemData(row);
}

// How a mode's Previous and Next move: not at all, to the neighbouring row, or to a random row.
enum class EMove { Stay, Walk, Random };

class CLoopMode final : public ILoopMode {
public:
    // Endless: there always is a row before and after; a walking mode then also scrolls each new
    // row into view.
    CLoopMode(const wchar_t* name, EMove move, bool endless)
        : m_name(name), m_move(move), m_endless(endless) {}

    const std::wstring& GetName() const override { return m_name; }

    CClipInfo* First(CPlaylistOperator& op) const override {
        return m_move == EMove::Walk ? MoveTo(op, 0, m_endless) : GetCurrent(op);
    }

    CClipInfo* Last(CPlaylistOperator& op) const override {
        return m_move == EMove::Walk ? MoveTo(op, op.GetItemCount() - 1, m_endless)
                                     : GetCurrent(op);
    }

    CClipInfo* Previous(CPlaylistOperator& op) const override {
        return Move(op, PreviousRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()));
    }

    CClipInfo* Next(CPlaylistOperator& op) const override {
        return Move(op, NextRow(op.GetAdapter()->GetActiveItem(), op.GetItemCount()));
    }

    bool HasPrevious(CPlaylistOperator& op) const override {
        return m_endless || (m_move == EMove::Walk && op.GetAdapter()->GetActiveItem() > 0);
    }

    bool HasNext(CPlaylistOperator& op) const override {
        return m_endless ||
               (m_move == EMove::Walk && op.GetAdapter()->GetActiveItem() < op.GetItemCount() - 1);
    }

private:
    // Previous and Next: `neighbour` is the row a walking mode goes to.
    CClipInfo* Move(CPlaylistOperator& op, int neighbour) const {
        switch (m_move) {
        case EMove::Walk:
            return MoveTo(op, neighbour, m_endless);
        case EMove::Random:
            return MoveTo(op, NextPlaylistRandom(op.GetItemCount()), false);
        case EMove::Stay:
            break;
        }
        return GetCurrent(op);
    }

    const std::wstring m_name;
    const EMove m_move;
    const bool m_endless;
};

} // namespace

CClipInfo* ILoopMode::GetCurrent(CPlaylistOperator& op) const {
    IPlaylistAdapter& list = *op.GetAdapter();
    return list.GetItemData(list.GetActiveItem());
}

const ILoopMode& FindLoopMode(const std::wstring& name) {
    // Made on first use and deliberately never destroyed: a mode pointer handed out in an event
    // must stay valid until the process ends.
    static const CLoopMode* const modes[] = {
        new CLoopMode(LoopModeNames::SingleFileOnce, EMove::Stay, false),
        new CLoopMode(LoopModeNames::SingleFileLoop, EMove::Stay, true),
        new CLoopMode(LoopModeNames::PlaylistOnce, EMove::Walk, false),
        new CLoopMode(LoopModeNames::PlaylistLoop, EMove::Walk, true),
        new CLoopMode(LoopModeNames::PlaylistShuffle, EMove::Random, true),
    };
    for (const CLoopMode* mode : modes) {
        if (mode->GetName() == name) {
            return *mode;
        }
    }
    return *modes[2];
}
