#pragma once

#include <QTemporaryDir>
#include <string>

// Test certificates made with the `openssl` command into a temporary folder: a
// test CA and server certificates, each with one defect (or none), so a TLS
// client can be shown every kind of certificate a user may meet.
namespace testsupport {

enum class Certificate {
    Good,             // by the test CA, for localhost, 127.0.0.1 and ::1
    Expired,          // as Good, valid 2020 to 2021
    NotYetValid,      // as Good, valid from 2099
    OtherHost,        // by the test CA, for other.test only
    SelfSigned,       // signed by its own key, for localhost, 127.0.0.1 and ::1
    UntrustedIssuer,  // as Good but by a second CA that nobody trusts
};

// The host name the OtherHost certificate is made for.
inline constexpr const char* kOtherHostName = "other.test";

struct CertificateFiles {
    std::string certificate;  // PEM
    std::string key;          // PEM, not encrypted
};

class CertificateKit {
public:
    CertificateKit();
    CertificateKit(const CertificateKit&) = delete;
    CertificateKit& operator=(const CertificateKit&) = delete;

    // Makes every certificate; false (and the reason in error()) on failure.
    bool generate();
    bool ready() const { return ready_; }
    std::string error() const { return error_; }

    // The test CA's certificate: the file to trust (wget's --ca-certificate).
    std::string caFile() const;
    CertificateFiles files(Certificate which) const;
    // A further server certificate by the test CA, for the names and addresses
    // in altNames (openssl's form: "IP:127.4.5.6,DNS:example.test"), written as
    // <stem>.pem and <stem>.key. False (and the reason in *why) on failure.
    bool issue(const std::string& altNames, const std::string& stem, std::string* why) const;
    std::string dir() const { return dir_.path().toStdString(); }

private:
    bool run(const QStringList& args);
    bool makeCa(const std::string& name, const std::string& commonName);
    bool makeLeaf(Certificate which, const std::string& ca, const std::string& commonName,
                  const std::string& altNames, const QStringList& validity);

    QTemporaryDir dir_;
    bool ready_ = false;
    std::string error_;
};

// One kit per test program, made on first use and kept until it exits (making
// it costs a dozen `openssl` runs). Check ready() before use.
const CertificateKit& sharedCertificateKit();

// The name of a certificate kind, for test row names and messages ("Expired").
std::string certificateName(Certificate which);

}  // namespace testsupport
