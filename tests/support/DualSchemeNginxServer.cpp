#include "tests/support/DualSchemeNginxServer.h"

#include <QDir>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <sstream>

namespace testsupport {

namespace {

constexpr std::uint16_t kHttpPort = 80;
constexpr std::uint16_t kHttpsPort = 443;
constexpr int kAddressTries = 5;

// 127.X.Y.Z with X from 1: never 127.0.0.1, where other fixtures listen, and
// never a network or broadcast form.
std::string randomLoopbackAddress() {
    QRandomGenerator* random = QRandomGenerator::global();
    return "127." + std::to_string(random->bounded(1, 255)) + "." +
           std::to_string(random->bounded(0, 256)) + "." + std::to_string(random->bounded(1, 255));
}

struct BindProblem {
    bool denied = false;  // the port is privileged and this process may not bind it
    std::string text;     // empty when the port can be bound
};

BindProblem bindProblem(const std::string& address, std::uint16_t port) {
    QTcpServer probe;
    if (probe.listen(QHostAddress(QString::fromStdString(address)), port)) return {};
    return {probe.serverError() == QAbstractSocket::SocketAccessError,
            address + ":" + std::to_string(port) + ": " + probe.errorString().toStdString()};
}

}  // namespace

DualSchemeNginxServer::DualSchemeNginxServer(const CertificateKit& kit) : kit_(kit) {}

DualSchemeNginxServer::~DualSchemeNginxServer() { stop(); }

DualSchemeNginxServer& DualSchemeNginxServer::plainServerConfig(std::string extra) {
    plainExtra_ = std::move(extra);
    return *this;
}

std::string DualSchemeNginxServer::httpUrl() const { return "http://" + address_; }
std::string DualSchemeNginxServer::httpsUrl() const { return "https://" + address_; }
std::string DualSchemeNginxServer::workDir() const { return dir_.path().toStdString(); }
std::string DualSchemeNginxServer::rootDir() const { return workDir() + "/www"; }

void DualSchemeNginxServer::put(const std::string& relativePath, const std::string& content) const {
    writeFile(rootDir() + "/" + relativePath, content);
}

bool DualSchemeNginxServer::chooseAddress() {
    std::string problems;
    for (int attempt = 0; attempt < kAddressTries; ++attempt) {
        const std::string candidate = randomLoopbackAddress();
        BindProblem problem = bindProblem(candidate, kHttpPort);
        if (problem.text.empty()) problem = bindProblem(candidate, kHttpsPort);
        if (problem.text.empty()) {
            address_ = candidate;
            return true;
        }
        if (problem.denied) {
            // Another address would be refused alike.
            error_ =
                "binding ports 80 and 443 needs root (or CAP_NET_BIND_SERVICE): " + problem.text;
            return false;
        }
        problems += "\n  " + problem.text;
    }
    error_ = "ports 80 and 443 are taken on every loopback address tried:" + problems;
    return false;
}

std::string DualSchemeNginxServer::config() const {
    const std::string w = workDir();
    std::ostringstream conf;
    // One process of this user (see nginxConfigHead): the tests run as root
    // to bind ports 80 and 443, and no worker may switch to another user.
    conf << nginxConfigHead(w, "  log_format harvex_scheme '$scheme $request_method $request_uri "
                               "$status';\n"
                               "  access_log " + w + "/access.log harvex_scheme;\n")
         << "  ssl_protocols TLSv1.2 TLSv1.3;\n"
         << "  server {\n"
         << "    listen " << address_ << ":" << kHttpPort << ";\n"
         << "    server_name " << address_ << ";\n"
         << "    root " << rootDir() << ";\n"
         << plainExtra_ << "\n"
         << "  }\n"
         << "  server {\n"
         << "    listen " << address_ << ":" << kHttpsPort << " ssl;\n"
         << "    server_name " << address_ << ";\n"
         << "    ssl_certificate " << w << "/server.pem;\n"
         << "    ssl_certificate_key " << w << "/server.key;\n"
         << "    root " << rootDir() << ";\n"
         << "  }\n"
         << "}\n";
    return conf.str();
}

DualSchemeNginxServer::Start DualSchemeNginxServer::start() {
    if (!kit_.ready()) {
        error_ = "the certificate kit is not ready: " + kit_.error();
        return Start::Failed;
    }
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return Start::Failed;
    }
    if (!chooseAddress()) return Start::PortsUnavailable;
    const std::string w = workDir();
    QDir().mkpath(QString::fromStdString(rootDir()));
    QDir().mkpath(QString::fromStdString(w + "/tmp"));
    if (!kit_.issue("IP:" + address_, w + "/server", &error_)) return Start::Failed;
    writeFile(w + "/nginx.conf", config());
    if (!process_.start("/usr/sbin/nginx", {"-p", QString::fromStdString(w), "-c",
                                            QString::fromStdString(w + "/nginx.conf"), "-e",
                                            QString::fromStdString(w + "/error.log")})) {
        error_ = "nginx did not start (is the nginx package installed?)";
        return Start::Failed;
    }
    if (!waitForTcpPort(address_, kHttpPort) || !waitForTcpPort(address_, kHttpsPort)) {
        error_ = "nginx does not answer on " + address_ + ": " + process_.output().toStdString() +
                 readFile(w + "/error.log");
        return Start::Failed;
    }
    return Start::Started;
}

void DualSchemeNginxServer::stop() { process_.stop(); }

std::string DualSchemeNginxServer::accessLogText() const {
    return readFile(workDir() + "/access.log");
}

std::vector<AccessLogLine> DualSchemeNginxServer::accessLog() const {
    std::vector<AccessLogLine> lines;
    std::istringstream text(accessLogText());
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream fields(line);
        AccessLogLine entry;
        if (fields >> entry.scheme >> entry.method >> entry.target >> entry.status)
            lines.push_back(std::move(entry));
    }
    return lines;
}

}  // namespace testsupport
