#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

// Real servers for the tests, each started on a free loopback port with a
// generated configuration and stopped when the fixture object goes away.
namespace testsupport {

// A TCP port on 127.0.0.1 (::1 when ipv6) that nothing listens on at the
// time of the call.
std::uint16_t freeTcpPort(bool ipv6 = false);
// A UDP port on 127.0.0.1 that nothing is bound to at the time of the call.
std::uint16_t freeUdpPort();

// Waits (bounded) until something accepts connections on 127.0.0.1:port
// ([::1]:port when ipv6).
bool waitForTcpPort(std::uint16_t port, int timeoutMs = 10000, bool ipv6 = false);
// The same on any loopback address ("127.4.5.6", "::1").
bool waitForTcpPort(const std::string& address, std::uint16_t port, int timeoutMs = 10000);

// Whether this machine can bind a socket on ::1; IPv6 tests skip without it.
bool haveIpv6Loopback();

// The start of every fixture's nginx configuration, up to the open "http {"
// block's temporary folders: one process (master_process off) so that it can
// read the test's private folders even when the tests run as root, its pid,
// error log and temporary files under workDir. `logLines` are the access log
// lines (log_format, access_log), each ending in a line break.
std::string nginxConfigHead(const std::string& workDir, const std::string& logLines);

// Reads and writes whole files; test data are byte strings.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// A child process that is killed (and reaped) when this object is destroyed.
class PeerProcess {
public:
    PeerProcess() = default;
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool start(const QString& program, const QStringList& args, const QString& workDir = {});
    void stop();
    bool running() const;
    QString output() const;  // what it wrote so far, both channels

private:
    std::unique_ptr<QProcess> process_;
};

// nginx serving a document root on 127.0.0.1:<port>. Its http block defines
// the log format "harvex_host" (the Host header, the request line and the
// status) for an access_log line in extraServerConfig.
class NginxServer {
public:
    // extraServerConfig is placed inside the server block (locations, auth_basic, ...).
    explicit NginxServer(std::string extraServerConfig = {});
    ~NginxServer();

    // Listens on [::1]:<port> instead (call before start()).
    void listenOnIpv6Loopback() { ipv6_ = true; }

    // Starts nginx; false (and an explanation in error()) when it could not.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string rootDir() const;  // the document root, without a trailing "/"
    std::string workDir() const;  // the fixture's own folder (config, logs)
    std::string baseUrl() const;  // "http://127.0.0.1:<port>" ("http://[::1]:<port>")
    std::string error() const { return error_; }

    // Writes a file under the document root, creating the folders it needs.
    void put(const std::string& relativePath, const std::string& content) const;

private:
    QTemporaryDir dir_;
    std::string extra_;
    std::uint16_t port_ = 0;
    bool ipv6_ = false;
    PeerProcess process_;
    std::string error_;
};

}  // namespace testsupport
