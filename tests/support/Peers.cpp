#include "tests/support/Peers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#include <fstream>
#include <sstream>

namespace testsupport {

std::uint16_t freeTcpPort(bool ipv6) {
    QTcpServer server;
    if (!server.listen(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, 0)) return 0;
    return server.serverPort();
}

bool haveIpv6Loopback() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

std::uint16_t freeUdpPort() {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0)) return 0;
    return socket.localPort();
}

namespace {
bool waitForTcpPortOn(const QHostAddress& address, std::uint16_t port, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(address, port);
        if (probe.waitForConnected(200)) return true;
        QThread::msleep(20);  // the peer is still starting; nothing else to wait on
    }
    return false;
}
}  // namespace

bool waitForTcpPort(std::uint16_t port, int timeoutMs, bool ipv6) {
    return waitForTcpPortOn(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, port,
                            timeoutMs);
}

bool waitForTcpPort(const std::string& address, std::uint16_t port, int timeoutMs) {
    return waitForTcpPortOn(QHostAddress(QString::fromStdString(address)), port, timeoutMs);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& content) {
    QFileInfo info(QString::fromStdString(path));
    QDir().mkpath(info.absolutePath());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

PeerProcess::~PeerProcess() { stop(); }

bool PeerProcess::start(const QString& program, const QStringList& args, const QString& workDir) {
    stop();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    if (!workDir.isEmpty()) process_->setWorkingDirectory(workDir);
    process_->start(program, args);
    return process_->waitForStarted(10000);
}

void PeerProcess::stop() {
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
}

bool PeerProcess::running() const { return process_ && process_->state() == QProcess::Running; }

QString PeerProcess::output() const {
    return process_ ? QString::fromLocal8Bit(process_->readAll()) : QString();
}

NginxServer::NginxServer(std::string extraServerConfig) : extra_(std::move(extraServerConfig)) {}

NginxServer::~NginxServer() { stop(); }

std::string NginxServer::workDir() const { return dir_.path().toStdString(); }
std::string NginxServer::rootDir() const { return workDir() + "/www"; }
std::string NginxServer::baseUrl() const {
    return std::string(ipv6_ ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_);
}

void NginxServer::put(const std::string& relativePath, const std::string& content) const {
    writeFile(rootDir() + "/" + relativePath, content);
}

std::string nginxConfigHead(const std::string& workDir, const std::string& logLines) {
    const std::string& w = workDir;
    std::ostringstream conf;
    conf << "daemon off;\n"
         << "master_process off;\n"
         << "worker_processes 1;\n"
         << "pid " << w << "/nginx.pid;\n"
         << "error_log " << w << "/error.log warn;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n"
         << "  include /etc/nginx/mime.types;\n"
         << "  default_type application/octet-stream;\n"
         << logLines
         << "  client_body_temp_path " << w << "/tmp/body;\n"
         << "  proxy_temp_path " << w << "/tmp/proxy;\n"
         << "  fastcgi_temp_path " << w << "/tmp/fastcgi;\n"
         << "  uwsgi_temp_path " << w << "/tmp/uwsgi;\n"
         << "  scgi_temp_path " << w << "/tmp/scgi;\n";
    return conf.str();
}

bool NginxServer::start() {
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    QDir().mkpath(QString::fromStdString(rootDir()));
    QDir().mkpath(QString::fromStdString(workDir() + "/tmp"));
    port_ = freeTcpPort(ipv6_);
    const std::string w = workDir();
    std::ostringstream conf;
    conf << nginxConfigHead(w, "  log_format harvex_host '$http_host \"$request\" $status';\n"
                               "  access_log " + w + "/access.log;\n")
         << "  sendfile on;\n"
         << "  server {\n"
         << "    listen " << (ipv6_ ? "[::1]:" : "127.0.0.1:") << port_ << ";\n"
         << "    server_name localhost;\n"
         << "    root " << rootDir() << ";\n"
         << extra_ << "\n"
         << "  }\n"
         << "}\n";
    writeFile(w + "/nginx.conf", conf.str());
    if (!process_.start("/usr/sbin/nginx", {"-p", QString::fromStdString(w), "-c",
                                            QString::fromStdString(w + "/nginx.conf"), "-e",
                                            QString::fromStdString(w + "/error.log")})) {
        error_ = "nginx did not start (is the nginx package installed?)";
        return false;
    }
    if (!waitForTcpPort(port_, 10000, ipv6_)) {
        error_ = "nginx does not answer: " + process_.output().toStdString() +
                 readFile(w + "/error.log");
        return false;
    }
    return true;
}

void NginxServer::stop() { process_.stop(); }

}  // namespace testsupport
