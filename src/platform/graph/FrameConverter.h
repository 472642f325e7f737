#pragma once
// Turns a 24-bit B,G,R frame into a 32-bit image of the size it will be shown at, in one
// libswscale pass, so that painting is a plain unscaled copy.
//
// Threads: one converter per video renderer, used only on its delivery thread.
#include <QImage>
#include <QSize>
#include <cstdint>

struct SwsContext;

class CFrameConverter {
public:
    CFrameConverter() = default;
    ~CFrameConverter();
    CFrameConverter(const CFrameConverter&) = delete;
    CFrameConverter& operator=(const CFrameConverter&) = delete;

    // `height` negative: rows top-down, as the source writes them; positive: bottom-up. Rows are
    // width * 3 bytes apart. A null image when the sizes are empty or the scaler fails.
    QImage Convert(const std::uint8_t* bgr, int width, int height, QSize target);

private:
    SwsContext* m_context = nullptr; // reused while the sizes stay the same
};
