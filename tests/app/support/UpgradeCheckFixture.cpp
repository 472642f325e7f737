#include "UpgradeCheckFixture.h"

namespace fs = std::filesystem;

std::ostream& operator<<(std::ostream& out, EUpgradeOutcome outcome) {
    static const char* const kNames[] = {
        "NoAnswer",   "UnusableAnswer", "NotNewer",       "NoUpgrader",     "DownloadFailed",
        "Unverified", "Declined",       "UpgraderFailed", "InstallStarted", "Stopped"};
    return out << kNames[static_cast<int>(outcome)];
}

UpgradeCheckFixture::UpgradeCheckFixture() = default;

void UpgradeCheckFixture::SetUp() {
    m_settings.programFolder = Utf8ToWide((m_root / "program").string() + "/");
    m_settings.installerFolder = CAppFolder().GetInstallerFolder();
    m_settings.vendorHost = m_server.Host();
    m_settings.trust = {m_signingKey.PublicKey(), m_authority.Pem()};
    m_settings.askInstall = [this](const std::wstring& name, const std::wstring& version,
                                   std::stop_token) {
        m_questions.push_back(WideToUtf8(name) + " / " + WideToUtf8(version));
        return m_answer;
    };
    m_settings.installStarted = [this] { ++m_installsStarted; };
    fs::create_directories(ProgramFolder());
}

fs::path UpgradeCheckFixture::ProgramFolder() const {
    return WideToUtf8(m_settings.programFolder);
}

fs::path UpgradeCheckFixture::InstallerFolder() const {
    return WideToUtf8(m_settings.installerFolder);
}

void UpgradeCheckFixture::WriteVersion(const std::string& major, const std::string& minor,
                                       const std::string& build, bool beta) {
    WriteFile(ProgramFolder() / "qor.ini", "[Version]\nMajor=" + major + "\nMinor=" + minor +
                                               "\nBuild=" + build + "\nBeta=" + (beta ? "1" : "0") +
                                               "\n");
}

void UpgradeCheckFixture::WriteUpgrader() {
    const fs::path upgrader = ProgramFolder() / "Renovo";
    const std::string record = RecordFile().string();
    WriteFile(upgrader, "#!/bin/sh\n{ printf '%s\\n' \"$0\" \"$#\"; for a in \"$@\"; do "
                        "printf '%s\\n' \"$a\"; done; } > '" +
                            record + ".part'\nmv '" + record + ".part' '" + record + "'\n");
    fs::permissions(upgrader, fs::perms::owner_all);
}

void UpgradeCheckFixture::OfferInstaller(const std::string& name, bool beta) {
    m_server.Set(beta ? "/upgrade/retrieve_latest_qor_beta" : "/upgrade/retrieve_latest_qor",
                 {200, name, "", 0});
    m_server.SetBelow("/download/", {200, kInstallerBytes, "", 0});
    const std::string folder = beta ? "/download/beta/" : "/download/";
    m_server.Set(folder + name + ".sig", {200, m_signingKey.Sign(kInstallerBytes), "", 0});
}

std::set<std::string> UpgradeCheckFixture::Files() const {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        if (!entry.is_directory()) {
            files.insert(fs::relative(entry.path(), m_root).string());
        }
    }
    return files;
}
