#include "app/VersionFile.h"

#include "core/PathValue.h"
#include "core/WideText.h"

#include <fstream>
#include <sstream>

namespace {

constexpr const char* kFileName = "qor.ini";
constexpr const char* kBlanks = " \t";

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

void CVersionFile::Parse(const std::string& text) {
    m_sections.clear();
    std::map<std::string, std::string>* current = nullptr;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // The line end first: a line of blanks and CR is as empty as one without the CR.
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto start = line.find_first_not_of(kBlanks);
        if (start == std::string::npos) {
            continue;
        }
        line.erase(0, start);
        const auto lastVisible = line.find_last_not_of(kBlanks);
        if (line.front() == '[' && line[lastVisible] == ']' && lastVisible > 0) {
            current = &m_sections[line.substr(1, lastVisible - 1)];
            continue;
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos && equals > 0 && current != nullptr) {
            (*current)[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
}

bool CVersionFile::Load(const std::wstring& path) {
    m_sections.clear();
    std::ifstream file(PathToBytes(path), std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    Parse(text.str());
    return true;
}

bool CVersionFile::HasSection(const std::string& section) const {
    return m_sections.count(section) != 0;
}

std::optional<std::string> CVersionFile::Value(const std::string& section,
                                               const std::string& key) const {
    const auto found = m_sections.find(section);
    if (found == m_sections.end()) {
        return std::nullopt;
    }
    const auto value = found->second.find(key);
    if (value == found->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

std::string CVersionFile::VersionString() const {
    if (!HasSection("Version")) {
        return {};
    }
    const auto field = [this](const char* key) {
        return Trimmed(Value("Version", key).value_or(std::string()));
    };
    std::string version = field("Major") + "." + field("Minor") + "." + field("Build");
    if (field("Beta") == "1") {
        version += " beta";
    }
    return version;
}

std::wstring ReadProgramVersion() {
    CVersionFile file;
    file.Load(CPathValue(SpecialFolder::ExecutableFolder).Folder() + Utf8ToWide(kFileName));
    return Utf8ToWide(file.VersionString());
}
