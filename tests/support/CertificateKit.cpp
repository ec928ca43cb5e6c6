#include "tests/support/CertificateKit.h"

#include <QProcess>
#include <QRandomGenerator>

#include "tests/support/Peers.h"

namespace testsupport {

namespace {

constexpr int kOpensslTimeoutMs = 30000;
constexpr const char* kLocalNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
constexpr const char* kTestCa = "ca";
constexpr const char* kStrangerCa = "stranger-ca";

// The request and CA settings, free of the system's openssl.cnf. Each CA keeps
// its database in its own folder; `openssl ca -name` picks it.
std::string kitConfig(const std::string& dir) {
    std::string conf =
        "[req]\ndistinguished_name = dn\nprompt = no\n[dn]\nCN = unused\n"
        "[ca_ext]\nbasicConstraints = critical,CA:TRUE\n"
        "keyUsage = critical,keyCertSign,cRLSign\nsubjectKeyIdentifier = hash\n"
        "[self_ext]\nbasicConstraints = CA:FALSE\nsubjectAltName = " +
        std::string(kLocalNames) + "\n[any]\ncommonName = supplied\n";
    for (const char* ca : {kTestCa, kStrangerCa}) {
        conf += std::string("[") + ca + "]\ndir = " + dir + "/" + ca +
                "\ndatabase = $dir/index.txt\nserial = $dir/serial\nnew_certs_dir = $dir\n"
                "default_md = sha256\npolicy = any\nunique_subject = no\n"
                "copy_extensions = none\ndefault_days = 3650\n";
    }
    return conf;
}

std::string fileStem(Certificate which) {
    switch (which) {
        case Certificate::Good:
            return "good";
        case Certificate::Expired:
            return "expired";
        case Certificate::NotYetValid:
            return "not-yet-valid";
        case Certificate::OtherHost:
            return "other-host";
        case Certificate::SelfSigned:
            return "self-signed";
        case Certificate::UntrustedIssuer:
            return "untrusted-issuer";
    }
    return "unknown";
}

// Runs openssl in `folder`; false and the reason in *why when it fails.
bool runOpenssl(const QString& folder, const QStringList& args, std::string* why) {
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.setWorkingDirectory(folder);
    openssl.start("openssl", args);
    if (!openssl.waitForStarted(kOpensslTimeoutMs)) {
        *why = "cannot run openssl (is the openssl package installed?)";
        return false;
    }
    openssl.waitForFinished(kOpensslTimeoutMs);
    if (openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        *why = "openssl " + args.join(' ').toStdString() +
               " failed: " + openssl.readAll().toStdString();
        return false;
    }
    return true;
}

const QStringList kNewKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};

}  // namespace

std::string certificateName(Certificate which) {
    switch (which) {
        case Certificate::Good:
            return "Good";
        case Certificate::Expired:
            return "Expired";
        case Certificate::NotYetValid:
            return "NotYetValid";
        case Certificate::OtherHost:
            return "OtherHost";
        case Certificate::SelfSigned:
            return "SelfSigned";
        case Certificate::UntrustedIssuer:
            return "UntrustedIssuer";
    }
    return "Unknown";
}

CertificateKit::CertificateKit() = default;

std::string CertificateKit::caFile() const { return dir() + "/" + kTestCa + "/ca.pem"; }

CertificateFiles CertificateKit::files(Certificate which) const {
    const std::string stem = dir() + "/" + fileStem(which);
    return {stem + ".pem", stem + ".key"};
}

bool CertificateKit::run(const QStringList& args) { return runOpenssl(dir_.path(), args, &error_); }

bool CertificateKit::issue(const std::string& altNames, const std::string& stem,
                           std::string* why) const {
    if (!ready_) {
        *why = "the certificate kit is not ready: " + error_;
        return false;
    }
    // `openssl x509 -req` signs without the CA's database, so the kit itself
    // is left as it is and several fixtures may issue at once.
    writeFile(stem + ".ext",
              "[leaf]\nbasicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\n"
              "extendedKeyUsage = serverAuth\nsubjectAltName = " +
                  altNames + "\n");
    const QString s = QString::fromStdString(stem);
    const QString caDir = QString::fromStdString(dir() + "/" + kTestCa);
    const QString serial = QString::number(QRandomGenerator::global()->bounded(1u << 30) + 1u);
    return runOpenssl(dir_.path(),
                      QStringList{"req", "-new", "-config", "kit.cnf"} + kNewKey +
                          QStringList{"-keyout", s + ".key", "-out", s + ".csr", "-subj",
                                      "/CN=harvex-test-server"},
                      why) &&
           runOpenssl(dir_.path(),
                      {"x509", "-req", "-in", s + ".csr", "-CA", caDir + "/ca.pem", "-CAkey",
                       caDir + "/ca.key", "-set_serial", serial, "-days", "3650", "-sha256",
                       "-extfile", s + ".ext", "-extensions", "leaf", "-out", s + ".pem"},
                      why);
}

bool CertificateKit::makeCa(const std::string& name, const std::string& commonName) {
    const std::string folder = dir() + "/" + name;
    writeFile(folder + "/index.txt", "");
    writeFile(folder + "/serial", "1000\n");
    return run(QStringList{"req", "-x509", "-config", "kit.cnf", "-extensions", "ca_ext"} +
               kNewKey +
               QStringList{"-keyout", QString::fromStdString(folder + "/ca.key"), "-out",
                           QString::fromStdString(folder + "/ca.pem"), "-days", "3650", "-subj",
                           QString::fromStdString("/O=Harvex Test/CN=" + commonName)});
}

bool CertificateKit::makeLeaf(Certificate which, const std::string& ca,
                              const std::string& commonName, const std::string& altNames,
                              const QStringList& validity) {
    const CertificateFiles out = files(which);
    const QString stem = QString::fromStdString(dir() + "/" + fileStem(which));
    const QString subject = QString::fromStdString("/CN=" + commonName);
    if (ca.empty()) {
        return run(QStringList{"req", "-x509", "-config", "kit.cnf", "-extensions", "self_ext"} +
                   kNewKey +
                   QStringList{"-keyout", QString::fromStdString(out.key), "-out",
                               QString::fromStdString(out.certificate), "-days", "3650", "-subj",
                               subject});
    }
    writeFile(stem.toStdString() + ".ext",
              "[leaf]\nbasicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\n"
              "extendedKeyUsage = serverAuth\nsubjectAltName = " +
                  altNames + "\n");
    const QString caDir = QString::fromStdString(dir() + "/" + ca);
    return run(QStringList{"req", "-new", "-config", "kit.cnf"} + kNewKey +
               QStringList{"-keyout", QString::fromStdString(out.key), "-out", stem + ".csr",
                           "-subj", subject}) &&
           run(QStringList{"ca", "-batch", "-config", "kit.cnf", "-name",
                           QString::fromStdString(ca), "-cert", caDir + "/ca.pem", "-keyfile",
                           caDir + "/ca.key", "-in", stem + ".csr", "-out",
                           QString::fromStdString(out.certificate), "-notext", "-extfile",
                           stem + ".ext", "-extensions", "leaf"} +
               validity);
}

bool CertificateKit::generate() {
    if (ready_) return true;
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    writeFile(dir() + "/kit.cnf", kitConfig(dir()));
    const QStringList years = {"-days", "3650"};
    const QStringList past = {"-startdate", "20200101000000Z", "-enddate", "20210101000000Z"};
    const QStringList future = {"-startdate", "20990101000000Z", "-enddate", "21000101000000Z"};
    const std::string other = std::string("DNS:") + kOtherHostName;
    ready_ = makeCa(kTestCa, "Harvex Test CA") && makeCa(kStrangerCa, "Harvex Stranger CA") &&
             makeLeaf(Certificate::Good, kTestCa, "localhost", kLocalNames, years) &&
             makeLeaf(Certificate::Expired, kTestCa, "localhost", kLocalNames, past) &&
             makeLeaf(Certificate::NotYetValid, kTestCa, "localhost", kLocalNames, future) &&
             makeLeaf(Certificate::OtherHost, kTestCa, kOtherHostName, other, years) &&
             makeLeaf(Certificate::SelfSigned, "", "localhost", kLocalNames, years) &&
             makeLeaf(Certificate::UntrustedIssuer, kStrangerCa, "localhost", kLocalNames, years);
    return ready_;
}

const CertificateKit& sharedCertificateKit() {
    static CertificateKit kit;
    static const bool made = kit.generate();
    (void)made;
    return kit;
}

}  // namespace testsupport
