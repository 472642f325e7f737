#pragma once
// Keeps the desktop's screen saver (and the monitor's power saving) away while a picture plays.
// The main window decides when (playing or paused, with a picture) and says so with Hold; the
// service turns that into a request to the desktop and takes it back.
//
// Who calls: the main window, on the user-interface thread; Hold returns at once (the D-Bus
// service talks to the desktop on a thread of its own, in the order of the calls).
// A service that is missing or refuses is logged once and otherwise ignored: the player plays on.
#include <memory>
#include <string>

class IScreenSaverInhibitor {
public:
    // Holds the screen saver off (true) or lets it run again (false); repeating the current
    // wish does nothing.
    virtual void Hold(bool hold) = 0;
    virtual bool IsHeld() const = 0;
    // Lets the screen saver run again (the D-Bus service waits until the desktop was told).
    virtual ~IScreenSaverInhibitor() = default;
};

// org.freedesktop.ScreenSaver on the session bus (Inhibit / UnInhibit).
std::unique_ptr<IScreenSaverInhibitor> CreateSystemScreenSaverInhibitor();
// The same on the bus at that D-Bus address ("unix:path=..."), for tests with a bus of their own.
std::unique_ptr<IScreenSaverInhibitor> CreateScreenSaverInhibitorOnBus(const std::string& address);
// Remembers the wish and asks no one, for tests and sessions without a desktop.
std::unique_ptr<IScreenSaverInhibitor> CreateNullScreenSaverInhibitor();
