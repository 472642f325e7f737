#include "engine/EngineState.h"

#include "engine/EngineDS.h"

void IEngineState::PlayPause(CEngineDS&) {}
void IEngineState::Pause(CEngineDS&) {}
void IEngineState::Resume(CEngineDS&) {}
void IEngineState::Stop(CEngineDS&) {}
void IEngineState::Abort(CEngineDS&) {}

void CEngineStateLoaded::GetName(std::wstring& name) const {
    name = L"Loaded";
}
void CEngineStateLoaded::PlayPause(CEngineDS& engine) {
    engine.Play();
}
void CEngineStateLoaded::Abort(CEngineDS& engine) {
    engine.Abort();
}

void CEngineStatePlaying::GetName(std::wstring& name) const {
    name = L"Playing";
}
void CEngineStatePlaying::PlayPause(CEngineDS& engine) {
    engine.Pause();
}
void CEngineStatePlaying::Pause(CEngineDS& engine) {
    engine.Pause();
}
void CEngineStatePlaying::Stop(CEngineDS& engine) {
    engine.Stop();
}
void CEngineStatePlaying::Abort(CEngineDS& engine) {
    engine.Abort();
}

void CEngineStatePaused::GetName(std::wstring& name) const {
    name = L"Paused";
}
void CEngineStatePaused::PlayPause(CEngineDS& engine) {
    engine.Play();
}
void CEngineStatePaused::Resume(CEngineDS& engine) {
    engine.Play();
}
void CEngineStatePaused::Stop(CEngineDS& engine) {
    engine.Stop();
}
void CEngineStatePaused::Abort(CEngineDS& engine) {
    engine.Abort();
}

void CEngineStateStopped::GetName(std::wstring& name) const {
    name = L"Stopped";
}
void CEngineStateStopped::PlayPause(CEngineDS& engine) {
    engine.Play();
}

void CEngineStateAborted::GetName(std::wstring& name) const {
    name = L"Aborted";
}
void CEngineStateAborted::PlayPause(CEngineDS& engine) {
    engine.Play();
}

namespace {

// Never freed: the states are shared by every controller until the process ends.
template <class T> IEngineState* Singleton() {
    static T* const instance = new T();
    return instance;
}

} // namespace

IEngineState* EngineStateLoaded() {
    return Singleton<CEngineStateLoaded>();
}
IEngineState* EngineStatePlaying() {
    return Singleton<CEngineStatePlaying>();
}
IEngineState* EngineStatePaused() {
    return Singleton<CEngineStatePaused>();
}
IEngineState* EngineStateStopped() {
    return Singleton<CEngineStateStopped>();
}
IEngineState* EngineStateAborted() {
    return Singleton<CEngineStateAborted>();
}
