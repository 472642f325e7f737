// A vendor site for trying the upgrade path by hand or from a script:
//
//   upgrade_test_site TRUST_FOLDER [INSTALLER_NAME]
//
// Makes a signing key and a certificate authority of its own, writes what the test programs
// trust into TRUST_FOLDER (UpgradeTestPki.h), serves on loopback HTTPS the query (release and
// beta) naming INSTALLER_NAME (default qor_99.0.0.exe), the installer and its signature, prints
// "127.0.0.1:<port>" on a line of its own and serves until SIGTERM or SIGINT. The installer,
// when run, writes TRUST_FOLDER/installer-ran.
//
//   QOR_TEST_TRUST_DIR=TRUST_FOLDER QOR_VENDOR_HOST=127.0.0.1:<port> qor_upgrade_testbed
#include "UpgradeTestPki.h"
#include "UpgradeTestServer.h"

#include <csignal>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: upgrade_test_site TRUST_FOLDER [INSTALLER_NAME]\n");
        return 2;
    }
    const std::filesystem::path trustFolder = std::filesystem::absolute(argv[1]);
    const std::string name = argc == 3 ? argv[2] : "qor_99.0.0.exe";
    // Blocked before any thread starts, so only sigwait below takes them.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    const CTestAuthority authority("qor test site authority");
    const CTestIdentity identity = authority.IssueServer("IP:127.0.0.1,DNS:localhost");
    const CTestSigningKey signingKey;
    WriteTrustFolder(trustFolder, signingKey.PublicKey(), authority.Pem());
    const std::string installer =
        "#!/bin/sh\necho \"$0 $*\" > '" + (trustFolder / "installer-ran").string() + "'\n";
    const std::string signature = signingKey.Sign(installer);

    CUpgradeTestServer site(&identity);
    site.Set("/upgrade/retrieve_latest_qor", {200, name, "", 0});
    site.Set("/upgrade/retrieve_latest_qor_beta", {200, name, "", 0});
    for (const std::string folder : {"/download/", "/download/beta/"}) {
        site.Set(folder + name, {200, installer, "", 0});
        site.Set(folder + name + ".sig", {200, signature, "", 0});
    }
    std::printf("%s\n", site.Host().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&endSignals, &received);
    return 0;
}
