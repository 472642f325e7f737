#include "app/mpris/MprisCoverFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>

#include "app/mpris/MprisRules.h"
#include "core/Log.h"
#include "media/CoverArt.h"
#include "platform/UserRuntimeFolder.h"

namespace {

constexpr char kWhere[] = "CMprisCoverFile::Replace";

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

CMprisCoverFile::~CMprisCoverFile() {
    Remove();
}

void CMprisCoverFile::Remove() {
    if (!m_path.empty()) {
        ::unlink(m_path.c_str());
        m_path.clear();
    }
}

QString CMprisCoverFile::Replace(const CCoverArt* art, unsigned track) {
    Remove();
    if (art == nullptr) {
        return {};
    }
    const std::string folder =
        FindUserRuntimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString(),
                              QDir::tempPath().toStdString(), ::geteuid());
    if (folder.empty()) {
        return {};
    }
    const std::string path = folder + "/qor-cover-" + std::to_string(::getpid()) + "-" +
                             std::to_string(track) + "." + art->extension;
    // A file of that name can only be a leftover of an earlier process with this id.
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        Log({kWhere, LOG_LEVEL_INFO}, "cannot write %s: %s", path.c_str(), std::strerror(errno));
        return {};
    }
    const bool written = WriteAll(fd, art->bytes);
    if (::close(fd) != 0 || !written) {
        Log({kWhere, LOG_LEVEL_INFO}, "cannot write %s", path.c_str());
        ::unlink(path.c_str());
        return {};
    }
    m_path = path;
    return MprisFileUrl(path);
}
