#include "skin/controls/SkinString.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

bool CSkinString::Create(QWidget* parent, int x, int y, int width, int height, int spare,
                         int fontHeight) {
    m_spare = spare;
    m_fontHeight = fontHeight > 0 ? fontHeight : kDefaultFontHeight;
    return CSkinCtrl::Create(parent, x, y, width, height, nullptr, -1, -1, -1, -1);
}

void CSkinString::SetText(const std::wstring& text) {
    m_text = text;
    Redraw();
}

void CSkinString::SetHighlight(bool highlight) {
    m_highlight = highlight;
    Redraw();
}

void CSkinString::PaintOnto(QPainter& painter) {
    if (m_buffer) {
        painter.drawPixmap(QRect(GetX(), GetY(), std::abs(GetWidth()), std::abs(GetHeight())),
                           m_buffer->Pixmap());
    }
}

void CSkinString::SetSize(int width, int height) {
    resize(width, height);
    if (parentWidget() != nullptr) {
        EnsureBuffer(width, height);
        Redraw();
    }
}

void CSkinString::Redraw() {
    if (isHidden() || !m_buffer) {
        return;
    }
    DrawBuffer();
    update();
}

void CSkinString::DrawBuffer() {
    // A label laid out at 0 x 0 (the main window's in full screen) has nothing to draw on.
    if (m_buffer->Pixmap().isNull()) {
        return;
    }
    QPainter painter(&m_buffer->Pixmap());
    PaintTextBackground(painter);
    PaintText(painter);
}

void CSkinString::CreateBuffer() {
    m_buffer = std::make_unique<CMemDC2>(rect(), devicePixelRatioF(), QColor(kBackgroundColour));
}

void CSkinString::FreeBuffer() {
    m_buffer.reset();
}

void CSkinString::EnsureBuffer(int width, int height) {
    if (m_buffer && m_buffer->Bounds().size() == QSize(width, height) &&
        m_buffer->DevicePixelRatio() == devicePixelRatioF()) {
        return;
    }
    FreeBuffer();
    CreateBuffer();
}

void CSkinString::PaintTextBackground(QPainter& painter) {
    painter.fillRect(QRect(QPoint(0, 0), m_buffer->Bounds().size()), QColor(kBackgroundColour));
}

void CSkinString::PaintText(QPainter& painter) {
    QFont font = QApplication::font();
    font.setPixelSize(m_fontHeight);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(QColor(m_highlight ? kHighlightColour : kTextColour));
    const QSize size = m_buffer->Bounds().size();
    const QFontMetrics metrics(font);
    const QString text =
        metrics.elidedText(QString::fromStdWString(m_text), Qt::ElideRight, size.width());
    const int textHeight = metrics.height();
    painter.drawText(QRect(0, (size.height() - textHeight) / 2, size.width(), textHeight),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void CSkinString::Paint(QPainter& painter) {
    // The window moved to a screen of another pixel ratio: Qt repaints it, the size stays.
    if (m_buffer && m_buffer->DevicePixelRatio() != devicePixelRatioF()) {
        EnsureBuffer(width(), height());
        DrawBuffer();
    }
    if (m_buffer) {
        m_buffer->Blit(painter, QPoint(0, 0), QRect(QPoint(0, 0), m_buffer->Bounds().size()));
    } else {
        painter.fillRect(rect(), QColor(kBackgroundColour));
    }
}

void CSkinString::showEvent(QShowEvent* event) {
    CSkinCtrl::showEvent(event);
    Redraw(); // SetText while hidden drew nothing
}

void CSkinString::resizeEvent(QResizeEvent* event) {
    CSkinCtrl::resizeEvent(event);
    EnsureBuffer(width(), height());
    SetText(m_text);
}
