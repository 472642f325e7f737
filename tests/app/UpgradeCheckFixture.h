#pragma once
// The upgrade check's test bench: a program folder and a data home in a fresh temporary folder
// whose name holds a blank (so a path handed on unquoted would split), a vendor site on loopback
// HTTPS with a certificate of the test's own authority, the test's own installer-signing key,
// and a stand-in upgrader that records how it was started.
#include "UpgradeTestPki.h"
#include "UpgradeTestServer.h"

#include "EnvGuard.h"
#include "TestFiles.h"

#include "app/upgrade/UpgradeCheck.h"
#include "core/AppFolder.h"
#include "core/WideText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <vector>

std::ostream& operator<<(std::ostream& out, EUpgradeOutcome outcome);

inline constexpr char kInstallerBytes[] = "#!/bin/sh\necho installed\n";

class UpgradeCheckFixture : public ::testing::Test {
protected:
    UpgradeCheckFixture();
    void SetUp() override;

    std::filesystem::path ProgramFolder() const;
    std::filesystem::path InstallerFolder() const;
    std::filesystem::path RecordFile() const { return m_root / "renovo arguments"; }

    void WriteVersion(const std::string& major, const std::string& minor, const std::string& build,
                      bool beta = false);
    // A stand-in upgrader that records the path it was started by and each argument, one a line.
    void WriteUpgrader();
    // The query names `name`; the installer and its signature by the test's key are served.
    void OfferInstaller(const std::string& name, bool beta = false);
    // Every file below the temporary folder, relative to it.
    std::set<std::string> Files() const;

    CScratchFolder m_folder{"qor upgrade"};
    const std::filesystem::path m_root = m_folder.Root();
    CEnvGuard m_dataHome{"XDG_DATA_HOME", (m_root / "data").string()};
    CTestAuthority m_authority{"qor test authority"};
    CTestIdentity m_siteIdentity = m_authority.IssueServer("IP:127.0.0.1,DNS:localhost");
    CTestSigningKey m_signingKey;
    CUpgradeTestServer m_server{&m_siteIdentity};
    CUpgradeSettings m_settings;
    std::vector<std::string> m_questions;
    bool m_answer = false;
    int m_installsStarted = 0;
};
