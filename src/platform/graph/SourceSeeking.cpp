#include "platform/graph/SourceSeeking.h"

HRESULT CSourceSeeking::GetCapabilities(std::uint32_t* capabilities) const {
    if (capabilities == nullptr) {
        return E_POINTER;
    }
    *capabilities = m_capabilities;
    return S_OK;
}

HRESULT CSourceSeeking::CheckCapabilities(std::uint32_t* capabilities) const {
    if (capabilities == nullptr) {
        return E_POINTER;
    }
    const std::uint32_t asked = *capabilities;
    *capabilities = asked & m_capabilities;
    if (*capabilities == asked) {
        return S_OK;
    }
    return *capabilities != 0 ? S_FALSE : E_FAIL;
}

HRESULT CSourceSeeking::SetTimeFormat(ETimeFormat format) {
    if (!IsFormatSupported(format)) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_seekingLock);
    m_timeFormat = format;
    return S_OK;
}

ETimeFormat CSourceSeeking::GetTimeFormat() const {
    std::lock_guard lock(m_seekingLock);
    return m_timeFormat;
}

HRESULT CSourceSeeking::GetDuration(REFERENCE_TIME* duration) const {
    if (duration == nullptr) {
        return E_POINTER;
    }
    *duration = m_duration;
    return S_OK;
}

HRESULT CSourceSeeking::GetStopPosition(REFERENCE_TIME* stop) const {
    if (stop == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(m_seekingLock);
    *stop = m_stop;
    return S_OK;
}

HRESULT CSourceSeeking::GetPositions(REFERENCE_TIME* current, REFERENCE_TIME* stop) const {
    std::lock_guard lock(m_seekingLock);
    if (current) {
        *current = m_start;
    }
    if (stop) {
        *stop = m_stop;
    }
    return S_OK;
}

CPositioning ReadPositioning(const REFERENCE_TIME* current, std::uint32_t currentFlags,
                             const REFERENCE_TIME* stop, std::uint32_t stopFlags) {
    CPositioning positioning{currentFlags & SEEKING_POSITIONING_MASK,
                             stopFlags & SEEKING_POSITIONING_MASK, S_OK};
    if ((positioning.start != SEEKING_NO_POSITIONING && current == nullptr) ||
        (positioning.stop != SEEKING_NO_POSITIONING && stop == nullptr)) {
        positioning.check = E_POINTER;
    } else if (positioning.start == SEEKING_POSITIONING_MASK ||
               positioning.stop == SEEKING_POSITIONING_MASK) {
        positioning.check = E_INVALIDARG;
    }
    return positioning;
}

HRESULT CSourceSeeking::SetPositions(REFERENCE_TIME* current, std::uint32_t currentFlags,
                                     REFERENCE_TIME* stop, std::uint32_t stopFlags) {
    const auto [startBits, stopBits, check] =
        ReadPositioning(current, currentFlags, stop, stopFlags);
    if (FAILED(check)) {
        return check;
    }
    {
        std::lock_guard lock(m_seekingLock);
        if (startBits == SEEKING_ABSOLUTE_POSITIONING) {
            m_start = *current;
        } else if (startBits == SEEKING_RELATIVE_POSITIONING) {
            m_start += *current;
        }
        if (stopBits == SEEKING_ABSOLUTE_POSITIONING) {
            m_stop = *stop;
        } else if (stopBits == SEEKING_RELATIVE_POSITIONING) {
            m_stop += *stop;
        }
    }
    HRESULT hr = S_OK;
    if (stopBits != SEEKING_NO_POSITIONING) {
        hr = ChangeStop();
    }
    if (startBits != SEEKING_NO_POSITIONING) {
        hr = ChangeStart();
    }
    return hr;
}

HRESULT CSourceSeeking::SetRate(double rate) {
    if (!(rate > 0.0)) {
        return E_INVALIDARG;
    }
    {
        std::lock_guard lock(m_seekingLock);
        m_rate = rate;
    }
    return ChangeRate();
}

double CSourceSeeking::GetRate() const {
    std::lock_guard lock(m_seekingLock);
    return m_rate;
}
