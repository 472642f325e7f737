#include "platform/graph/VideoRenderer.h"

#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdlib>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "platform/PlatformLog.h"

namespace {

// A wait for a frame's time is cut at this length and then taken again: a stamp far in the future
// (a damaged file's) would otherwise overflow the steady clock's arithmetic, and the wait would
// end at once, again and again.
constexpr auto kLongestWait = std::chrono::hours(1);
// How late a frame without a usable duration may be and still be shown (the source's default).
constexpr REFERENCE_TIME kDefaultFrameDuration = 333333;
// libswscale's vector code may write a little past the end of the last row of a packed
// picture; the hook's frame leaves this much room behind it.
constexpr std::size_t kScalerSlack = 64;
// Larger frames than this are refused: their byte counts would overflow the sample sizes.
constexpr std::int32_t kMaxDimension = 16384;

bool IsShowableFormat(const CVideoInfoHeader& info) {
    const CBitmapInfoHeader& bitmap = info.bitmap;
    return bitmap.bitCount == 24 && bitmap.width > 0 && bitmap.width <= kMaxDimension &&
           bitmap.height != 0 && bitmap.height >= -kMaxDimension && bitmap.height <= kMaxDimension;
}

long FrameBytes(const CVideoInfoHeader& info) {
    return static_cast<long>(info.bitmap.width) * 3 * std::abs(info.bitmap.height);
}

} // namespace

CVideoRenderer::CVideoRenderer()
    : CBaseRenderer({"CVideoRenderer", "video", EMajorType::Video, ESubType::RGB24,
                     EFormatType::VideoInfo}) {}

CVideoRenderer::~CVideoRenderer() {
    Stop();
    SetSyncSource(nullptr);
    if (m_widget) {
        if (QThread::currentThread() == m_widget->thread()) {
            delete m_widget;
        } else {
            m_widget->deleteLater();
        }
    }
}

void CVideoRenderer::SetSyncSource(IReferenceClock* clock) {
    IReferenceClock* former = m_clock.exchange(clock);
    if (former == clock) {
        return;
    }
    if (former != nullptr) {
        former->SetJumpListener(nullptr);
    }
    if (clock != nullptr) {
        // Taking the lock orders the wake after a waiter's read of the clock.
        clock->SetJumpListener([this] {
            std::lock_guard lock(m_lock);
            m_changed.notify_all();
        });
    }
}

void CVideoRenderer::OnStateChanged(EFilterState previous) {
    if (m_state != EFilterState::Paused) {
        return;
    }
    // Paused from running, the frame on show is the one held; from stopped, the next one.
    m_posterShown = previous == EFilterState::Running && m_anyShown;
    if (previous == EFilterState::Stopped) { // a new clip
        m_presented = 0;
        m_dropped = 0;
        m_countedAtLog = 0;
    }
}

void CVideoRenderer::LogFrameCounts(const char* where) {
    int presented = 0, dropped = 0;
    {
        std::lock_guard lock(m_lock);
        if (m_presented + m_dropped == m_countedAtLog) {
            return;
        }
        presented = m_presented;
        dropped = m_dropped;
        m_countedAtLog = presented + dropped;
    }
    PlatformLog(PLATFORM_LOG_INFO, where,
                "frames presented: " + std::to_string(presented) +
                    ", dropped: " + std::to_string(dropped));
}

HRESULT CVideoRenderer::GetCount(const int& count, int* out) const {
    if (out == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_lock);
    *out = count;
    return S_OK;
}

HRESULT CVideoRenderer::get_FramesDrawn(int* frames) {
    return GetCount(m_presented, frames);
}

HRESULT CVideoRenderer::get_FramesDroppedInRenderer(int* frames) {
    return GetCount(m_dropped, frames);
}

void CVideoRenderer::DiscardStream() {
    m_posterShown = false;
    m_anyShown = false;
}

bool CVideoRenderer::CheckFormat(const CMediaType& type) const {
    CVideoInfoHeader info;
    return type.GetFormat(info) && IsShowableFormat(info);
}

void CVideoRenderer::SetMediaType(const CMediaType& type) {
    type.GetFormat(m_format);
}

bool CVideoRenderer::IsConnectedFormat(const CMediaType& type) const {
    CVideoInfoHeader info;
    return type.GetFormat(info) && info.bitmap.width == m_format.bitmap.width &&
           info.bitmap.height == m_format.bitmap.height && info.bitmap.bitCount == 24;
}

HRESULT CVideoRenderer::RenderSample(CMediaSample& sample, std::unique_lock<std::mutex>& lock) {
    if (sample.GetPicture() == nullptr && sample.GetActualDataLength() < FrameBytes(m_format)) {
        PlatformLog(PLATFORM_LOG_ERROR, "CVideoRenderer::Receive",
                    "a sample holds less than one frame; refused");
        return E_INVALIDARG;
    }
    const int width = m_format.bitmap.width;
    const int height = m_format.bitmap.height;
    REFERENCE_TIME start = 0, stop = 0;
    const bool hasTime = sample.GetTime(&start, &stop);
    REFERENCE_TIME duration = stop - start;
    if (!hasTime || duration <= 0) {
        duration = m_format.avgTimePerFrame > 0 ? m_format.avgTimePerFrame : kDefaultFrameDuration;
    }

    bool shown = false;
    HRESULT result = S_OK;
    for (;;) {
        switch (WaitForTurn(lock, hasTime, start, duration, &shown, &result)) {
        case EWait::Done:
            return result;
        case EWait::Drop:
            ++m_dropped;
            return S_OK;
        case EWait::Present:
            break;
        }
        lock.unlock();
        Present(sample, width, height, start);
        lock.lock();
        shown = true;
        m_anyShown = true;
        ++m_presented;
        if (m_state == EFilterState::Paused) {
            m_posterShown = true; // held until the graph runs, flushes or stops
            m_changed.notify_all();
        }
    }
}

CVideoRenderer::EWait CVideoRenderer::WaitForTurn(std::unique_lock<std::mutex>& lock, bool hasTime,
                                                  REFERENCE_TIME start, REFERENCE_TIME duration,
                                                  bool* shown, HRESULT* result) {
    for (;;) {
        if (m_state == EFilterState::Stopped || !m_connected) {
            *result = E_UNEXPECTED;
            return EWait::Done;
        }
        if (m_flushing) {
            *result = S_OK;
            return EWait::Done;
        }
        if (m_state == EFilterState::Paused) {
            if (!*shown && !m_posterShown) {
                return EWait::Present;
            }
            m_changed.wait(lock);
            continue;
        }
        if (*shown) {
            *result = S_OK;
            return EWait::Done;
        }
        IReferenceClock* clock = m_clock;
        if (!hasTime || clock == nullptr) {
            return EWait::Present;
        }
        const REFERENCE_TIME late = clock->GetTime() - (m_start + start);
        if (late > duration) {
            return EWait::Drop;
        }
        if (late >= 0) {
            return EWait::Present;
        }
        // One wait timed by steady time, rather than re-reading the clock every few
        // milliseconds (which cost 0.003 s of CPU per second of 30 fps video): the clock keeps
        // steady pace or falls behind it, and tells of its jumps ahead (SetSyncSource).
        m_changed.wait_for(lock, std::min<std::chrono::microseconds>(
                                     std::chrono::microseconds(-late / 10 + 1), kLongestWait));
    }
}

void CVideoRenderer::Present(CMediaSample& sample, int width, int height, REFERENCE_TIME start) {
    const CVideoPicture* lent = sample.GetPicture();
    const CVideoPicture picture =
        lent != nullptr ? *lent : BgrPicture(sample.GetPointer(), width, height);
    const QSize target = m_slot->TargetSize();
    if (!target.isEmpty()) {
        m_slot->Render(target, [&](QImage& image) { return m_converter.Convert(picture, image); });
    }
    if (!m_hook) {
        return;
    }
    const std::uint8_t* bgr = sample.GetPointer();
    if (lent != nullptr) {
        width = picture.width;
        height = -picture.height;
        const int stride = width * 3;
        m_hookFrame.resize(static_cast<std::size_t>(stride) * picture.height + kScalerSlack);
        if (!m_hookScaler.Scale(picture, AV_PIX_FMT_BGR24, QSize(width, picture.height),
                                m_hookFrame.data(), stride)) {
            return;
        }
        if (picture.overlay) {
            picture.overlay->Draw(CBgrCanvas{m_hookFrame.data(), width, picture.height, stride, 3});
        }
        bgr = m_hookFrame.data();
    }
    IReferenceClock* clock = m_clock;
    m_hook(start, clock != nullptr ? clock->GetTime() : 0, width, height, bgr);
}

HRESULT CVideoRenderer::GetVideoSize(long* width, long* height) {
    if (width == nullptr || height == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_lock);
    if (!m_connected) {
        return E_UNEXPECTED;
    }
    *width = m_format.bitmap.width;
    *height = std::abs(m_format.bitmap.height);
    return S_OK;
}

QWidget* CVideoRenderer::Widget() {
    if (!m_widget) {
        m_widget = new CVideoWidget(m_slot, nullptr);
        m_widget->hide();
    }
    return m_widget;
}

HRESULT CVideoRenderer::put_Owner(QWidget* owner) {
    QWidget* widget = Widget();
    if (owner == nullptr) {
        widget->hide();
    }
    // Re-parenting hides the widget; the caller shows it again with put_Visible.
    widget->setParent(owner);
    return S_OK;
}

HRESULT CVideoRenderer::put_WindowStyle(long) {
    return S_OK; // always a clipped child of its owner
}

HRESULT CVideoRenderer::SetWindowPosition(long left, long top, long width, long height) {
    if (width < 0 || height < 0) {
        return E_INVALIDARG;
    }
    Widget()->setGeometry(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                          static_cast<int>(height));
    return S_OK;
}

HRESULT CVideoRenderer::put_Visible(bool visible) {
    QWidget* widget = Widget();
    if (visible && widget->parentWidget() == nullptr) {
        return E_UNEXPECTED;
    }
    widget->setVisible(visible);
    return S_OK;
}

void CVideoRenderer::SetFrameHook(FrameHook hook) {
    m_hook = std::move(hook);
}

std::shared_ptr<IBaseFilter> CreateVideoRenderer() {
    return std::make_shared<CVideoRenderer>();
}
