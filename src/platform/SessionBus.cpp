#include "platform/SessionBus.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr) {
        return address;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') {
        return {};
    }
    const std::string socket = std::string(runtime) + "/bus";
    struct stat status {};
    if (::lstat(socket.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
        status.st_uid != ::getuid()) {
        return {};
    }
    return "unix:path=" + socket;
}
