#pragma once
// Sets an environment variable for the life of the object and restores it afterwards.
#include <cstdlib>
#include <optional>
#include <string>

class CEnvGuard {
public:
    CEnvGuard(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~CEnvGuard() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    CEnvGuard(const CEnvGuard&) = delete;
    CEnvGuard& operator=(const CEnvGuard&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
