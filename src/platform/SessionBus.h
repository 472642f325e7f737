#pragma once
// Where the user's session bus is, found the way libdbus finds it but without ever starting one:
// libdbus, given no address, would run dbus-launch for an X display and leave a bus daemon
// behind that no desktop knows of. So every D-Bus service of the player connects to this address
// by name (QDBusConnection::connectToBus), never through QDBusConnection::sessionBus.
//
// The address is DBUS_SESSION_BUS_ADDRESS when set (whatever it holds), else
// "unix:path=$XDG_RUNTIME_DIR/bus" when that is a socket of this user; empty when there is
// neither, and the caller then goes on without the bus.
//
// Threads: any; it reads the environment and the file system, nothing else.
#include <string>

std::string SessionBusAddress();
