#pragma once
// What a user command means for the clip that is loaded: the controller hands each command to its
// current state object, which forwards it to the engine or ignores it. States hold no data; the
// controller switches between them when the engine reports a new state.
//
// Threads: user-interface thread only. Ownership: each state is a process-wide object created on
// first use and never destroyed, so the interface has no destructor.
#include <string>

class CEngineDS;

class IEngineState {
public:
    virtual void GetName(std::wstring& name) const = 0;
    // Each command does nothing unless a state says otherwise.
    virtual void PlayPause(CEngineDS& engine);
    virtual void Pause(CEngineDS& engine);
    virtual void Resume(CEngineDS& engine);
    virtual void Stop(CEngineDS& engine);
    virtual void Abort(CEngineDS& engine);

protected:
    ~IEngineState() = default;
};

// Loaded lasts from a load to its play request, and stays when that play fails: the clip is then
// still in hand, so the navigation's abort must reach it, or the chosen row would never load.
class CEngineStateLoaded : public IEngineState {
public:
    void GetName(std::wstring& name) const override;
    void PlayPause(CEngineDS& engine) override;
    void Abort(CEngineDS& engine) override;
};

class CEngineStatePlaying : public IEngineState {
public:
    void GetName(std::wstring& name) const override;
    void PlayPause(CEngineDS& engine) override;
    void Pause(CEngineDS& engine) override;
    void Stop(CEngineDS& engine) override;
    void Abort(CEngineDS& engine) override;
};

class CEngineStatePaused : public IEngineState {
public:
    void GetName(std::wstring& name) const override;
    void PlayPause(CEngineDS& engine) override;
    void Resume(CEngineDS& engine) override;
    void Stop(CEngineDS& engine) override;
    void Abort(CEngineDS& engine) override;
};

class CEngineStateStopped : public IEngineState {
public:
    void GetName(std::wstring& name) const override;
    void PlayPause(CEngineDS& engine) override;
};

class CEngineStateAborted : public IEngineState {
public:
    void GetName(std::wstring& name) const override;
    void PlayPause(CEngineDS& engine) override;
};

// The one object of each state, made on the first call.
IEngineState* EngineStateLoaded();
IEngineState* EngineStatePlaying();
IEngineState* EngineStatePaused();
IEngineState* EngineStateStopped();
IEngineState* EngineStateAborted();
