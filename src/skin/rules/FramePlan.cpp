#include "skin/rules/FramePlan.h"

namespace {

class CPlanner {
public:
    CPlanner(QSize client, const FramePieceLookup& lookup) : m_client(client), m_lookup(lookup) {}

    // One piece at a position computed from its size, then its rectangle excluded.
    template <class Place> void Single(int piece, Place place) {
        const std::optional<QRect> source = m_lookup(piece);
        if (!source) {
            return;
        }
        const QPoint dest = place(source->size());
        Blit(piece, *source, dest);
        Exclude(QRect(dest, source->size()));
    }

    // A piece repeated along x (at a fixed y) or along y (at a fixed x), then the whole band.
    template <class Place> void Row(int piece, Place placeY) {
        const std::optional<QRect> source = m_lookup(piece);
        if (!source || source->width() <= 0) {
            return;
        }
        const int y = placeY(source->size());
        for (int x = 0; x <= m_client.width(); x += source->width()) {
            Blit(piece, *source, QPoint(x, y));
        }
        Exclude(QRect(0, y, m_client.width(), source->height()));
    }

    template <class Place> void Column(int piece, Place placeX) {
        const std::optional<QRect> source = m_lookup(piece);
        if (!source || source->height() <= 0) {
            return;
        }
        const int x = placeX(source->size());
        for (int y = 0; y <= m_client.height(); y += source->height()) {
            Blit(piece, *source, QPoint(x, y));
        }
        Exclude(QRect(x, 0, source->width(), m_client.height()));
    }

    void Fill(int piece) {
        const std::optional<QRect> source = m_lookup(piece);
        if (!source || source->isEmpty()) {
            return;
        }
        for (int y = 0; y <= m_client.height(); y += source->height()) {
            for (int x = 0; x <= m_client.width(); x += source->width()) {
                Blit(piece, *source, QPoint(x, y));
            }
        }
    }

    std::vector<CFrameStep> steps;

private:
    void Blit(int piece, const QRect& source, QPoint dest) {
        steps.push_back({piece, source, dest, {}});
    }
    void Exclude(const QRect& area) { steps.push_back({-1, {}, {}, area}); }

    QSize m_client;
    const FramePieceLookup& m_lookup;
};

} // namespace

std::vector<CFrameStep> PlanFrame(QSize client, bool focused, const FramePieceLookup& lookup) {
    const int width = client.width();
    const int height = client.height();
    const int top = focused ? 0 : FRAME_UNFOCUSED_OFFSET;
    CPlanner plan(client, lookup);
    plan.Single(top + FRAME_TOP_LEFT, [](QSize) { return QPoint(0, 0); });
    plan.Single(top + FRAME_TOP_RIGHT, [&](QSize size) { return QPoint(width - size.width(), 0); });
    plan.Single(top + FRAME_TOP_CENTRE,
                [&](QSize size) { return QPoint((width - size.width()) / 2, 0); });
    plan.Row(top + FRAME_TOP_TILE, [](QSize) { return 0; });
    plan.Single(FRAME_BOTTOM_LEFT, [&](QSize size) { return QPoint(0, height - size.height()); });
    plan.Single(FRAME_BOTTOM_RIGHT,
                [&](QSize size) { return QPoint(width - size.width(), height - size.height()); });
    plan.Row(FRAME_BOTTOM_TILE, [&](QSize size) { return height - size.height(); });
    plan.Column(FRAME_LEFT_TILE, [](QSize) { return 0; });
    plan.Column(FRAME_RIGHT_TILE, [&](QSize size) { return width - size.width(); });
    plan.Fill(FRAME_CENTRE_TILE);
    return std::move(plan.steps);
}
