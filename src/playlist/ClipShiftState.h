#pragma once
// What the control center does at the next clip boundary: play the active row (Jump, after a
// navigation or activation) or continue after a clip under the loop mode (Finished). Stateless;
// each is a process-wide object made on first use and never destroyed.
//
// Threads: user-interface thread only, called by the control center.
class CControlCenter;

class IClipShiftState {
public:
    // False when nothing was asked to play.
    virtual bool Shift(CControlCenter& center) const = 0;
    virtual ~IClipShiftState() = default;
};

// Loads the active row (row 0 when none is) and plays it when it loaded.
class CClipShiftStateJump : public IClipShiftState {
public:
    static const CClipShiftStateJump& Instance();
    bool Shift(CControlCenter& center) const override;
};

// Moves to the next row under the loop mode and plays it; stops when there is none or every row
// has failed.
class CClipShiftStateFinished : public IClipShiftState {
public:
    static const CClipShiftStateFinished& Instance();
    bool Shift(CControlCenter& center) const override;
};
