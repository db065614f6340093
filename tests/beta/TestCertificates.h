#pragma once

#include <string>

namespace bbtest {

// A certificate authority and a server certificate made afresh for one test process. The keys
// live only in memory; only the authority's certificate is written out, for the client to trust.
class TestCertificates {
public:
    // Made once per process, for the given server name (the certificate also covers "*.name"
    // and 127.0.0.1). Asking for another name makes a new server certificate.
    static const TestCertificates& forHost(const std::string& hostName);

    std::string caFile;          // PEM file of the authority's certificate
    void* serverCertificate = nullptr;  // X509*
    void* serverKey = nullptr;          // EVP_PKEY*
};

}  // namespace bbtest
