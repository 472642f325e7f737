#pragma once
// Every timer id of the program in one place. The timer service (TimerService.h) runs the
// navigation delay and the engine position; the main window and its player controls run 1, 2
// and 3 as their own window timers, so the service must not use them.

enum ETimerId : int {
    // Control center: loads the row chosen last, once presses have paused for the delay.
    TIMER_NAVIGATION_DELAY = 0,
    // Main window, full screen: hides the cursor after a quiet spell.
    TIMER_FULLSCREEN_CURSOR = 1,
    // Main window: fires once after start-up and starts the upgrade check.
    TIMER_UPGRADE_CHECK = 2,
    // Player controls: end the hold of a hovered seek time on the time labels.
    TIMER_HOVER_HOLD = 3,
    // Engine: "PositionChanged" every 250 ms while playing; at rest while paused or stopped.
    TIMER_ENGINE_POSITION = 10,
};
