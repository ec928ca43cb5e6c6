#include "tests/support/TinyproxyServer.h"

#include <unistd.h>

#include <sstream>

namespace testsupport {

TinyproxyServer::~TinyproxyServer() { stop(); }

std::string TinyproxyServer::log() const { return readFile(workDir() + "/tinyproxy.log"); }

bool TinyproxyServer::start() {
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    port_ = freeTcpPort();
    const std::string w = workDir();
    std::ostringstream conf;
    // As root tinyproxy drops to User/Group; root keeps the private test
    // folder readable and writable for its log.
    if (::geteuid() == 0) conf << "User root\nGroup root\n";
    conf << "Port " << port_ << "\n"
         << "Listen 127.0.0.1\n"
         << "Timeout 60\n"
         << "LogFile \"" << w << "/tinyproxy.log\"\n"
         << "LogLevel Info\n"
         << "PidFile \"" << w << "/tinyproxy.pid\"\n"
         << "MaxClients 20\n"
         << "Allow 127.0.0.1\n"
         << "ViaProxyName \"tinyproxy\"\n";
    for (const std::uint16_t connectPort : connectPorts_) conf << "ConnectPort " << connectPort << "\n";
    if (!user_.empty()) conf << "BasicAuth " << user_ << " " << password_ << "\n";
    writeFile(w + "/tinyproxy.conf", conf.str());
    writeFile(w + "/tinyproxy.log", "");
    if (!process_.start("/usr/bin/tinyproxy",
                        {"-d", "-c", QString::fromStdString(w + "/tinyproxy.conf")})) {
        error_ = "tinyproxy did not start (is the tinyproxy package installed?)";
        return false;
    }
    if (!waitForTcpPort(port_)) {
        error_ = "tinyproxy does not answer: " + process_.output().toStdString() + log();
        return false;
    }
    return true;
}

void TinyproxyServer::stop() { process_.stop(); }

}  // namespace testsupport
