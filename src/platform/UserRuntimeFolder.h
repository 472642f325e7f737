#pragma once
// The folder for the user's own runtime files (the single-instance socket and its lock): one that
// only the user can enter, so no other local user can plant a socket or a lock file there.
//
// The first that passes the check, of: runtimeDir ($XDG_RUNTIME_DIR) when it is an absolute
// path; then "qor-<uid>" in tempDir, made with mode 0700 when it is missing. The check, by
// lstat (a symbolic link fails it): a directory, owned by uid, mode 0700. A folder that fails is
// logged and not used; when neither passes the answer is empty and the caller goes on without
// what it wanted to keep there.
//
// Threads: any; it reads and makes folders, nothing else.
#include <string>
#include <sys/types.h>

std::string FindUserRuntimeFolder(const std::string& runtimeDir, const std::string& tempDir,
                                  uid_t uid);
