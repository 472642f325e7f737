#pragma once
// The seeking side of an output pin: duration, start, stop and rate. A new start or stop
// position is stored, then the derived pin is told through ChangeStart/ChangeStop.
//
// Threads: the graph's seeking calls come from the engine thread; the derived pin's delivery
// thread may hold m_seekingLock while it fills a sample. Change* run without the lock held.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/graph/Result.h"

// Capability bits.
inline constexpr std::uint32_t SEEKING_CAN_SEEK_ABSOLUTE = 0x1;
inline constexpr std::uint32_t SEEKING_CAN_SEEK_FORWARDS = 0x2;
inline constexpr std::uint32_t SEEKING_CAN_SEEK_BACKWARDS = 0x4;
inline constexpr std::uint32_t SEEKING_CAN_GET_CURRENT_POS = 0x8;
inline constexpr std::uint32_t SEEKING_CAN_GET_STOP_POS = 0x10;
inline constexpr std::uint32_t SEEKING_CAN_GET_DURATION = 0x100;

// Positioning flags of SetPositions.
inline constexpr std::uint32_t SEEKING_NO_POSITIONING = 0;
inline constexpr std::uint32_t SEEKING_ABSOLUTE_POSITIONING = 1;
inline constexpr std::uint32_t SEEKING_RELATIVE_POSITIONING = 2;
inline constexpr std::uint32_t SEEKING_POSITIONING_MASK = 3;

// The positioning parts of SetPositions' flags, and the answer to arguments that cannot be
// carried out: E_POINTER for a position that is asked for and missing, E_INVALIDARG for the
// undefined positioning value 3; else S_OK.
struct CPositioning {
    std::uint32_t start = SEEKING_NO_POSITIONING;
    std::uint32_t stop = SEEKING_NO_POSITIONING;
    HRESULT check = S_OK;
};
CPositioning ReadPositioning(const REFERENCE_TIME* current, std::uint32_t currentFlags,
                             const REFERENCE_TIME* stop, std::uint32_t stopFlags);

enum class ETimeFormat { None, MediaTime };

class CSourceSeeking {
public:
    virtual ~CSourceSeeking() = default;

    HRESULT GetCapabilities(std::uint32_t* capabilities) const;
    // S_OK when all requested bits are offered, S_FALSE when some are, E_FAIL when none.
    HRESULT CheckCapabilities(std::uint32_t* capabilities) const;

    bool IsFormatSupported(ETimeFormat format) const { return format == ETimeFormat::MediaTime; }
    HRESULT SetTimeFormat(ETimeFormat format);
    ETimeFormat GetTimeFormat() const;

    HRESULT GetDuration(REFERENCE_TIME* duration) const;
    HRESULT GetStopPosition(REFERENCE_TIME* stop) const;
    // A source does not know what has been presented; the renderers answer this.
    HRESULT GetCurrentPosition(REFERENCE_TIME*) const { return E_NOTIMPL; }
    HRESULT GetPositions(REFERENCE_TIME* current, REFERENCE_TIME* stop) const;

    // Absolute or relative positions; the flags' other bits are refused (E_INVALIDARG).
    HRESULT SetPositions(REFERENCE_TIME* current, std::uint32_t currentFlags, REFERENCE_TIME* stop,
                         std::uint32_t stopFlags);

    // E_INVALIDARG for a non-positive rate; else stores it and calls ChangeRate.
    virtual HRESULT SetRate(double rate);
    double GetRate() const;

protected:
    virtual HRESULT ChangeStart() = 0;
    virtual HRESULT ChangeStop() = 0;
    virtual HRESULT ChangeRate() = 0;

    mutable std::recursive_mutex m_seekingLock;
    // Written under m_seekingLock, read without it: a delivery thread filling a sample holds the
    // lock while it waits for packets, which a paused graph may not give it until it runs, and
    // the position the window or a desktop applet asks for needs the duration then.
    std::atomic<REFERENCE_TIME> m_duration{0};
    REFERENCE_TIME m_start = 0; // guarded by m_seekingLock
    REFERENCE_TIME m_stop = 0;  // guarded by m_seekingLock
    double m_rate = 1.0;        // guarded by m_seekingLock
    std::uint32_t m_capabilities = SEEKING_CAN_SEEK_ABSOLUTE | SEEKING_CAN_SEEK_FORWARDS |
                                   SEEKING_CAN_SEEK_BACKWARDS | SEEKING_CAN_GET_STOP_POS |
                                   SEEKING_CAN_GET_DURATION; // fixed after construction
    ETimeFormat m_timeFormat = ETimeFormat::MediaTime;       // guarded by m_seekingLock
};
