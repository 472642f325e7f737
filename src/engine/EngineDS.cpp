#include "engine/EngineDS.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

#include "core/Log.h"
#include "core/TimeText.h"
#include "engine/ClipInfo.h"
#include "media/VeltoSource.h"
#include "platform/FreedMemory.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = UNITS;
// Steps of the seek and volume keys.
constexpr int kSeekStepSeconds = 10;
constexpr int kVolumeStep = 5;
// Renderer volume range in hundredths of a decibel: silence to full level.
constexpr long kSilentHundredthsOfDb = -10000;

} // namespace

CEngineDS::CEngineDS() {
    setWindowTitle(QStringLiteral("WMP Window"));
}

CEngineDS::~CEngineDS() {
    StopTimer(TIMER_ENGINE_POSITION);
    ReleaseGraph();
}

int CEngineDS::Create(QWidget* parent) {
    if (parent == nullptr) {
        Log({"CEngineDS::Create", LOG_LEVEL_ERROR}, "no parent window");
        return 0;
    }
    setParent(parent);
    setGeometry(0, 0, 0, 0);
    // Clicks and wheel turns belong to the screen the video lies on.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    show();
    m_loaded = 0;
    return 1;
}

void CEngineDS::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
}

void CEngineDS::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_videoWindow) {
        m_videoWindow->SetWindowPosition(0, 0, event->size().width(), event->size().height());
    }
}

bool CEngineDS::event(QEvent* event) {
    if (event->type() == CGraphNotifyEvent::TypeOf(kGraphEventMessage)) {
        HandleGraphEvents();
    } else if (event->type() == QEvent::ParentChange) {
        WatchParent();
    }
    return QWidget::event(event);
}

void CEngineDS::WatchParent() {
    QObject::disconnect(m_parentWatch);
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    // Qt deletes a widget's children right after its destroyed signal. The engine is a member of
    // its owner, never a heap object the parent may delete, so it leaves the parent first and
    // lives on hidden, without a parent, until its owner destroys it.
    m_parentWatch = connect(parent, &QObject::destroyed, this, [this] {
        hide();
        setParent(nullptr);
    });
}

void CEngineDS::ReportState(const wchar_t* name, EventArg value) {
    m_stateName = name;
    Raise(name, value, reinterpret_cast<EventArg>(this));
}

int CEngineDS::IsPlayingOrPaused() const {
    return m_stateName == EngineEvents::Playing || m_stateName == EngineEvents::Paused ? 1 : 0;
}

HRESULT CEngineDS::Play() {
    if (!m_control) {
        return E_UNEXPECTED;
    }
    if (m_stateName == EngineEvents::Playing) {
        return S_FALSE;
    }
    const HRESULT hr = m_control->Run();
    if (FAILED(hr)) {
        return hr;
    }
    StartTimer(TIMER_ENGINE_POSITION, kPositionTimerPeriodMs, this);
    ReportState(EngineEvents::Playing, 0);
    return hr;
}

HRESULT CEngineDS::Pause() {
    if (!m_control) {
        return E_UNEXPECTED;
    }
    if (m_stateName == EngineEvents::Paused) {
        return S_FALSE;
    }
    const HRESULT hr = m_control->Pause();
    if (FAILED(hr)) {
        return hr;
    }
    // Paused, the position moves only by seeks, which report it themselves: the timer rests
    // until play. (No report here: reading the duration waits for the source's seeking lock,
    // which a paused video pin may hold until the graph runs again.)
    StopTimer(TIMER_ENGINE_POSITION);
    ReportState(EngineEvents::Paused, 0);
    return hr;
}

HRESULT CEngineDS::ForcePlay() {
    if (!m_control) {
        return E_UNEXPECTED;
    }
    const HRESULT hr = m_control->Run();
    if (FAILED(hr)) {
        return hr;
    }
    ReportState(EngineEvents::Playing, 0);
    return hr;
}

HRESULT CEngineDS::Stop() {
    m_loaded = 0;
    if (!m_control) {
        return E_UNEXPECTED;
    }
    if (m_stateName == EngineEvents::Stopped || m_stateName == EngineEvents::Completed) {
        return S_FALSE;
    }
    StopTimer(TIMER_ENGINE_POSITION);
    const HRESULT hr = StopAndRewind();
    if (FAILED(hr)) {
        return hr;
    }
    HideVideoWindow();
    // A stopped graph cannot complete; playing again goes through a new Load.
    ReleaseGraphEvents();
    ReportState(EngineEvents::Stopped, 0);
    return hr;
}

void CEngineDS::Abort() {
    m_loaded = 0;
    StopTimer(TIMER_ENGINE_POSITION);
    StopAndRewind();
    SetPosition(0.0);
    ReportState(EngineEvents::Aborted, GetProgressPercent());
}

HRESULT CEngineDS::StopAndRewind() {
    if (!m_control) {
        return E_UNEXPECTED;
    }
    const HRESULT hr = m_control->Stop();
    if (FAILED(hr)) {
        return hr;
    }
    // A rewind that fails leaves the graph stopped all the same; SetDamnPosition logs it.
    SetDamnPosition(0);
    return hr;
}

HRESULT CEngineDS::SetDamnPosition(int seconds) {
    if (!m_seeking) {
        return E_UNEXPECTED;
    }
    REFERENCE_TIME position = static_cast<REFERENCE_TIME>(seconds) * kUnitsPerSecond;
    try {
        return m_seeking->SetPositions(&position, SEEKING_ABSOLUTE_POSITIONING, nullptr,
                                       SEEKING_NO_POSITIONING);
    } catch (const std::exception& error) {
        Log({"CEngineDS::SetDamnPosition", LOG_LEVEL_INFO},
            "Could not seek to desired position: %lld (%s)", static_cast<long long>(position),
            error.what());
        return 0;
    }
}

void CEngineDS::SetPosition(double seconds) {
    if (!m_seeking) {
        return;
    }
    const int whole = WholeSeconds(seconds);
    SetDamnPosition(whole);
    Raise(EngineEvents::PositionChanged, whole, WholeSeconds(GetDuration()));
}

double CEngineDS::GetPosition() {
    if (!m_seeking) {
        return 0.0;
    }
    REFERENCE_TIME position = 0;
    if (FAILED(m_seeking->GetCurrentPosition(&position))) {
        return 0.0;
    }
    return static_cast<double>(position / kUnitsPerSecond);
}

double CEngineDS::GetDuration() {
    if (!m_seeking) {
        return 0.0;
    }
    REFERENCE_TIME duration = 0;
    if (FAILED(m_seeking->GetDuration(&duration))) {
        return 0.0;
    }
    return static_cast<double>(duration) / static_cast<double>(kUnitsPerSecond);
}

int CEngineDS::GetProgressPercent() {
    const int duration = WholeSeconds(GetDuration());
    if (duration == 0) {
        return 0;
    }
    return static_cast<int>(GetPosition() * 100 / duration);
}

void CEngineDS::SeekBackward() {
    const int position = WholeSeconds(GetPosition());
    SetPosition(position > kSeekStepSeconds ? position - kSeekStepSeconds : 0);
}

void CEngineDS::SeekForward() {
    const int position = WholeSeconds(GetPosition());
    SetPosition(std::min(position + kSeekStepSeconds, WholeSeconds(GetDuration())));
}

long CEngineDS::VolumeToHundredthsOfDb(int level) {
    // Outside 0..100 the logarithm would leave the renderer's range (or be undefined below 0).
    if (level <= 0) {
        return kSilentHundredthsOfDb;
    }
    if (level >= 100) {
        return 0;
    }
    return static_cast<long>(std::trunc(3000.0 * std::log10(level / 100.0)));
}

void CEngineDS::ApplyVolume(int level) {
    if (m_basicAudio) {
        m_basicAudio->put_Volume(VolumeToHundredthsOfDb(level));
    }
}

void CEngineDS::SetMute(int flag) {
    m_mute = flag;
    ApplyVolume(m_mute != 0 ? 0 : m_volume);
    Raise(EngineEvents::MuteChanged, flag, 0);
}

void CEngineDS::SetVolume(int volume) {
    m_volume = volume;
    if (m_mute == 0) {
        ApplyVolume(m_volume);
    }
    Raise(EngineEvents::VolumeChanged, volume, 0);
}

void CEngineDS::VolumeDown() {
    SetVolume(m_volume > kVolumeStep ? m_volume - kVolumeStep : 0);
}

void CEngineDS::VolumeUp() {
    SetVolume(m_volume >= 100 - kVolumeStep ? 100 : m_volume + kVolumeStep);
}

void CEngineDS::OnTimer(int timerId) {
    if (timerId != TIMER_ENGINE_POSITION) {
        return;
    }
    Raise(EngineEvents::PositionChanged, WholeSeconds(GetPosition()), WholeSeconds(GetDuration()));
}

void CEngineDS::HandleGraphEvents() {
    while (m_events) {
        long code = 0;
        std::intptr_t param1 = 0;
        std::intptr_t param2 = 0;
        if (m_events->GetEvent(&code, &param1, &param2, 0) != S_OK) {
            return;
        }
        switch (code) {
        case EC_COMPLETE: {
            StopTimer(TIMER_ENGINE_POSITION);
            const int duration = WholeSeconds(GetDuration());
            Raise(EngineEvents::PositionChanged, duration, duration);
            ReportCompleted();
            break;
        }
        case EC_USERABORT:
            ReportState(EngineEvents::UserAbort, 0);
            ReportCompleted();
            break;
        case EC_ERRORABORT:
            ReportState(EngineEvents::ErrorAbort, 0);
            ReportCompleted();
            break;
        default:
            break;
        }
        // A handler may have released the graph meanwhile.
        if (m_events) {
            m_events->FreeEventParams(code, param1, param2);
        }
    }
}

void CEngineDS::ReportCompleted() {
    // A clip at its end plays nothing more: whatever comes next goes through a new Load.
    m_loaded = 0;
    ReportState(EngineEvents::Completed, 100);
}

void CEngineDS::HideVideoWindow() {
    if (m_videoWindow) {
        m_videoWindow->put_Visible(false);
        m_videoWindow->put_Owner(nullptr);
    }
}

void CEngineDS::ReleaseGraphEvents() {
    if (m_events) {
        m_events->SetNotifyWindow(nullptr, 0, 0);
        m_events.reset();
    }
}

void CEngineDS::ReleaseGraph() {
    m_loaded = 0;
    StopAndRewind();
    HideVideoWindow();
    ReleaseGraphEvents();
    m_control.reset();
    m_seeking.reset();
    m_basicAudio.reset();
    m_basicVideo.reset();
    m_videoWindow.reset();
    m_frameStep.reset();
    m_graph.reset();
    m_source.reset();
    ReturnFreedMemory();
}
