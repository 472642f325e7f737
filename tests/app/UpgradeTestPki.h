#pragma once
// Keys and certificates the upgrade tests make for themselves: an installer-signing key pair,
// a certificate authority with server certificates for chosen host names, and the trust folder
// the test programs' UpgradeTrust() reads (support/TestUpgradeTrust.cpp).
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct CPkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CX509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using CPkeyPtr = std::unique_ptr<EVP_PKEY, CPkeyFree>;
using CX509Ptr = std::unique_ptr<X509, CX509Free>;

// Read by support/TestUpgradeTrust.cpp: the raw signing key and the authorities' PEM text.
inline constexpr char kTrustFolderVariable[] = "QOR_TEST_TRUST_DIR";
inline constexpr char kTrustSigningKeyFile[] = "signing.pub";
inline constexpr char kTrustAuthoritiesFile[] = "ca.pem";

class CTestSigningKey {
public:
    CTestSigningKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
        if (!m_key) {
            throw std::runtime_error("no Ed25519 key");
        }
    }
    std::array<unsigned char, 32> PublicKey() const {
        std::array<unsigned char, 32> raw{};
        std::size_t length = raw.size();
        EVP_PKEY_get_raw_public_key(m_key.get(), raw.data(), &length);
        return raw;
    }
    // The 64-byte detached signature over `bytes`.
    std::string Sign(std::string_view bytes) const {
        std::string signature(64, '\0');
        std::size_t length = signature.size();
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        const bool signed_ =
            EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key.get()) == 1 &&
            EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1;
        EVP_MD_CTX_free(context);
        if (!signed_) {
            throw std::runtime_error("signing failed");
        }
        return signature;
    }

private:
    CPkeyPtr m_key;
};

// A certificate and its private key, for a server or an authority.
struct CTestIdentity {
    CX509Ptr certificate;
    CPkeyPtr key;
};

class CTestAuthority {
public:
    explicit CTestAuthority(const std::string& name) {
        m_identity = MakeCertificate(name, "critical,CA:TRUE", "critical,keyCertSign,cRLSign",
                                     nullptr, nullptr);
    }
    // A server certificate for `altNames` ("IP:127.0.0.1,DNS:localhost") signed by this authority.
    CTestIdentity IssueServer(const std::string& altNames) const {
        return MakeCertificate("test server", "CA:FALSE", "critical,digitalSignature", &m_identity,
                               altNames.c_str());
    }
    std::string Pem() const {
        BIO* memory = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(memory, m_identity.certificate.get());
        char* data = nullptr;
        const long length = BIO_get_mem_data(memory, &data);
        std::string pem(data, static_cast<std::size_t>(length));
        BIO_free(memory);
        return pem;
    }

private:
    static void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        if (extension == nullptr) {
            throw std::runtime_error("bad certificate extension");
        }
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    }

    static CTestIdentity MakeCertificate(const std::string& commonName, const char* constraints,
                                         const char* usage, const CTestIdentity* issuer,
                                         const char* altNames) {
        static long serial = 1;
        CTestIdentity made{CX509Ptr(X509_new()),
                           CPkeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"))};
        X509* certificate = made.certificate.get();
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
        X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
        X509_gmtime_adj(X509_getm_notAfter(certificate), 7 * 24 * 3600);
        X509_set_pubkey(certificate, made.key.get());
        X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                                   -1, 0);
        X509* issuerCertificate = issuer ? issuer->certificate.get() : certificate;
        X509_set_issuer_name(certificate, X509_get_subject_name(issuerCertificate));
        AddExtension(certificate, issuerCertificate, NID_basic_constraints, constraints);
        AddExtension(certificate, issuerCertificate, NID_key_usage, usage);
        AddExtension(certificate, issuerCertificate, NID_subject_key_identifier, "hash");
        if (altNames != nullptr) {
            AddExtension(certificate, issuerCertificate, NID_subject_alt_name, altNames);
            AddExtension(certificate, issuerCertificate, NID_ext_key_usage, "serverAuth");
        }
        if (X509_sign(certificate, issuer ? issuer->key.get() : made.key.get(), EVP_sha256()) ==
            0) {
            throw std::runtime_error("certificate signing failed");
        }
        return made;
    }

    CTestIdentity m_identity;
};

// Writes what a test program's UpgradeTrust() reads from the folder named by QOR_TEST_TRUST_DIR.
inline void WriteTrustFolder(const std::filesystem::path& folder,
                             const std::array<unsigned char, 32>& signingKey,
                             const std::string& authoritiesPem) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / kTrustSigningKeyFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(signingKey.data()), signingKey.size());
    std::ofstream(folder / kTrustAuthoritiesFile, std::ios::binary) << authoritiesPem;
}
