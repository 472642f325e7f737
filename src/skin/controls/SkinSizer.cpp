#include "skin/controls/SkinSizer.h"

#include <QMouseEvent>
#include <QPainter>

#include "skin/SkinBitmaps.h"
#include "skin/SkinEvents.h"
#include "skin/rules/SizerRules.h"

namespace {

// Size and place of the box in the bar.
constexpr int kBoxWidth = 10;
constexpr int kBoxHeight = 50;
constexpr int kBoxInitialY = 100;

} // namespace

CSkinSizer::CSkinSizer() = default;

CSkinSizer::~CSkinSizer() {
    RemoveLine();
}

bool CSkinSizer::Create(QWidget* parent, int x, int y, int width, int height, int minimum) {
    CSkinCtrl::Create(parent, x, y, width, height, nullptr, -1, -1, -1, -1);
    m_skin.Reload(SKIN_BITMAP_SPLITTER_BOX, devicePixelRatioF());
    m_box.Create(this, 0, kBoxInitialY, kBoxWidth, kBoxHeight, &m_skin, 0, 1, 2, 0, 3, 4, 5, 3);
    PlaceBox();
    m_minimum = minimum;
    m_box.Subscribe(this, SkinEvents::LeftClicked, RegisterHandler(&CSkinSizer::OnBoxClicked));
    return true;
}

void CSkinSizer::Paint(QPainter& painter) {
    if (m_skin.DevicePixelRatio() != devicePixelRatioF()) {
        m_skin.Reload(SKIN_BITMAP_SPLITTER_BOX, devicePixelRatioF()); // moved to another screen
        m_box.update();
    }
    painter.fillRect(rect(), QColor(kBarColour));
}

void CSkinSizer::SetHoverCursor() {
    setCursor(Qt::SizeHorCursor);
}

void CSkinSizer::OnBoxClicked(ISubject* /*sender*/, EventArg /*x*/, EventArg /*y*/) {
    m_box.SetCheck(!m_box.GetCheck());
    Raise(SkinEvents::SkinSizerBoxChecked, m_box.GetCheck() ? 1 : 0, 0);
}

void CSkinSizer::resizeEvent(QResizeEvent* event) {
    CSkinCtrl::resizeEvent(event);
    PlaceBox();
}

void CSkinSizer::PlaceBox() {
    m_box.move(0, (height() - m_box.height()) / 2);
}

void CSkinSizer::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_lineOffset = width() / 2;
        m_pressX = event->position().toPoint().x();
        ShowLine();
    }
    CSkinCtrl::mousePressEvent(event);
}

void CSkinSizer::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (HasCapture() && SizerLineFollows(pos().x(), x, m_pressX, m_minimum)) {
        m_lineOffset = x;
        ShowLine();
    }
    CSkinCtrl::mouseMoveEvent(event);
}

void CSkinSizer::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && HasCapture()) {
        RemoveLine();
        const int parentWidth = parentWidget() != nullptr ? parentWidget()->width() : 0;
        const CSizerRelease release = SizerReleasePosition(pos().x(), m_lineOffset, m_pressX,
                                                           m_minimum, parentWidth, width());
        Raise(SkinEvents::SkinSizerPosChanged, release.position, release.pressX);
    }
    CSkinCtrl::mouseReleaseEvent(event);
}

void CSkinSizer::PressLost() {
    RemoveLine(); // a drag cut short reports no position and leaves no line behind
    CSkinCtrl::PressLost();
}

// The window system offers no inverting pen, so the line is a plain widget over the parent's
// children: moving or deleting it makes Qt repaint what it covered.
void CSkinSizer::ShowLine() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    if (m_line == nullptr) {
        m_line = new QWidget(parent);
        m_line->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_line->setAutoFillBackground(true);
        QPalette palette = m_line->palette();
        palette.setColor(QPalette::Window, QColor(kLineColour));
        m_line->setPalette(palette);
    }
    m_line->setGeometry(pos().x() + m_lineOffset - kLineWidth / 2, pos().y(), kLineWidth, height());
    m_line->raise();
    m_line->show();
}

void CSkinSizer::RemoveLine() {
    delete m_line.data();
}
