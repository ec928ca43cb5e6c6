#include "tests/support/HttpsNginxServer.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <sstream>

namespace testsupport {

namespace {
constexpr const char* kModernProtocols = "TLSv1.2 TLSv1.3";
}

bool loopbackIpv6Available() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

HttpsNginxServer::HttpsNginxServer(const CertificateKit& kit, Certificate served,
                                   std::string extraServerConfig)
    : kit_(kit),
      sites_{{"localhost", served}},
      extra_(std::move(extraServerConfig)),
      protocols_(kModernProtocols) {}

HttpsNginxServer::~HttpsNginxServer() { stop(); }

HttpsNginxServer& HttpsNginxServer::addServerName(std::string name, Certificate certificate) {
    sites_.push_back({std::move(name), certificate});
    return *this;
}

HttpsNginxServer& HttpsNginxServer::protocols(std::string nginxProtocols) {
    protocols_ = std::move(nginxProtocols);
    return *this;
}

HttpsNginxServer& HttpsNginxServer::alsoOnIpv6() {
    ipv6_ = true;
    return *this;
}

std::string HttpsNginxServer::workDir() const { return dir_.path().toStdString(); }
std::string HttpsNginxServer::rootDir() const { return workDir() + "/www"; }
std::string HttpsNginxServer::baseUrl() const {
    return "https://localhost:" + std::to_string(port_);
}

void HttpsNginxServer::put(const std::string& relativePath, const std::string& content) const {
    writeFile(rootDir() + "/" + relativePath, content);
}

std::string HttpsNginxServer::config() const {
    const std::string w = workDir();
    std::ostringstream conf;
    conf << nginxConfigHead(w, "  access_log " + w + "/access.log;\n")
         << "  ssl_protocols " << protocols_ << ";\n";
    // OpenSSL's default security level refuses TLS 1.0 and 1.1 outright.
    if (protocols_ != kModernProtocols) conf << "  ssl_ciphers DEFAULT:@SECLEVEL=0;\n";
    bool first = true;
    for (const Site& site : sites_) {
        const CertificateFiles files = kit_.files(site.certificate);
        const std::string flags = first ? " ssl default_server" : " ssl";
        conf << "  server {\n"
             << "    listen 127.0.0.1:" << port_ << flags << ";\n";
        if (ipv6_) conf << "    listen [::1]:" << port_ << flags << ";\n";
        conf << "    server_name " << site.name << ";\n"
             << "    ssl_certificate " << files.certificate << ";\n"
             << "    ssl_certificate_key " << files.key << ";\n"
             << "    root " << rootDir() << ";\n"
             << extra_ << "\n"
             << "  }\n";
        first = false;
    }
    conf << "}\n";
    return conf.str();
}

bool HttpsNginxServer::start() {
    if (!kit_.ready()) {
        error_ = "the certificate kit is not ready: " + kit_.error();
        return false;
    }
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    QDir().mkpath(QString::fromStdString(rootDir()));
    QDir().mkpath(QString::fromStdString(workDir() + "/tmp"));
    port_ = freeTcpPort();
    const std::string w = workDir();
    writeFile(w + "/nginx.conf", config());
    if (!process_.start("/usr/sbin/nginx", {"-p", QString::fromStdString(w), "-c",
                                            QString::fromStdString(w + "/nginx.conf"), "-e",
                                            QString::fromStdString(w + "/error.log")})) {
        error_ = "nginx did not start (is the nginx package installed?)";
        return false;
    }
    if (!waitForTcpPort(port_)) {
        error_ = "nginx does not answer: " + process_.output().toStdString() +
                 readFile(w + "/error.log");
        return false;
    }
    return true;
}

void HttpsNginxServer::stop() { process_.stop(); }

}  // namespace testsupport
