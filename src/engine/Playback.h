#pragma once
// What a playback engine offers the controller and the engine states: load one item, run it,
// position, volume and mute. Positions are seconds; volume is 0..100.
//
// Threads: user-interface thread only.
#include "platform/graph/Result.h"

class CClipInfo;

class IPlayback {
public:
    // 1 loaded, 0 failed. The item is written during the call and not kept.
    virtual int Load(CClipInfo* item) = 0;
    virtual HRESULT Play() = 0;
    virtual HRESULT Pause() = 0;
    // Runs without the checks of Play and without the position timer.
    virtual HRESULT ForcePlay() = 0;
    virtual HRESULT Stop() = 0;
    virtual void SetPosition(double seconds) = 0;
    // Whole seconds.
    virtual double GetPosition() = 0;
    virtual void SetMute(int flag) = 0;
    virtual int GetMute() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual int GetVolume() = 0;
    virtual ~IPlayback() = default;
};
