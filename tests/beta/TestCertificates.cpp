#include "TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

namespace bbtest {

namespace {

EVP_PKEY* newKey() { return EVP_EC_gen("P-256"); }

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

X509* newCertificate(const std::string& commonName, EVP_PKEY* key, long serial) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    return certificate;
}

struct Authority {
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    std::string file;
};

const Authority& authority() {
    static const Authority made = [] {
        Authority a;
        a.key = newKey();
        a.certificate = newCertificate("Test Service Authority", a.key, 1);
        X509_set_issuer_name(a.certificate, X509_get_subject_name(a.certificate));
        addExtension(a.certificate, a.certificate, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(a.certificate, a.certificate, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(a.certificate, a.certificate, NID_subject_key_identifier, "hash");
        X509_sign(a.certificate, a.key, EVP_sha256());
        a.file = (std::filesystem::temp_directory_path() /
                  ("bbtest-ca-" + std::to_string(::getpid()) + ".pem")).string();
        if (std::FILE* out = std::fopen(a.file.c_str(), "w")) {
            PEM_write_X509(out, a.certificate);
            std::fclose(out);
        }
        return a;
    }();
    return made;
}

TestCertificates makeFor(const std::string& hostName) {
    const Authority& ca = authority();
    TestCertificates made;
    made.caFile = ca.file;
    EVP_PKEY* key = newKey();
    X509* certificate = newCertificate(hostName, key, 2);
    X509_set_issuer_name(certificate, X509_get_subject_name(ca.certificate));
    std::string names = "IP:127.0.0.1";
    if (hostName != "127.0.0.1") names += ",DNS:" + hostName + ",DNS:*." + hostName;
    addExtension(certificate, ca.certificate, NID_subject_alt_name, names);
    addExtension(certificate, ca.certificate, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate, ca.certificate, NID_ext_key_usage, "serverAuth");
    addExtension(certificate, ca.certificate, NID_authority_key_identifier, "keyid");
    X509_sign(certificate, ca.key, EVP_sha256());
    made.serverCertificate = certificate;
    made.serverKey = key;
    return made;
}

// The authority's certificate file goes with the process.
struct RemoveFileAtExit {
    ~RemoveFileAtExit() {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                    ("bbtest-ca-" + std::to_string(::getpid()) + ".pem"),
                                ignored);
    }
} removeAtExit;

}  // namespace

const TestCertificates& TestCertificates::forHost(const std::string& hostName) {
    static std::mutex mutex;
    // Kept to the end of the process: services of other threads may still use them.
    static auto* made = new std::map<std::string, TestCertificates>();
    std::lock_guard lock(mutex);
    auto found = made->find(hostName);
    if (found == made->end()) found = made->emplace(hostName, makeFor(hostName)).first;
    return found->second;
}

}  // namespace bbtest
