#include "tests/support/DnsmasqServer.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QThread>
#include <QUdpSocket>

namespace testsupport {

namespace {

// dnsmasq has bound the port once nobody else can.
bool udpPortTaken(std::uint16_t port) {
    QUdpSocket probe;
    return !probe.bind(QHostAddress::LocalHost, port);
}

}  // namespace

DnsmasqServer::DnsmasqServer() = default;
DnsmasqServer::~DnsmasqServer() { stop(); }

void DnsmasqServer::addMx(const std::string& domain, const std::string& exchanger, int preference) {
    mx_.push_back(domain + "," + exchanger + "," + std::to_string(preference));
}

bool DnsmasqServer::start() {
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    const QString w = dir_.path();
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeUdpPort();
        QStringList args = {"-k",
                            QString("--port=%1").arg(port_),
                            "--listen-address=127.0.0.1",
                            "--bind-interfaces",
                            "--no-resolv",
                            "--no-hosts",
                            "--conf-file=/dev/null",
                            "--pid-file=" + w + "/dnsmasq.pid",
                            "--log-facility=" + w + "/dnsmasq.log",
                            "--log-queries"};
        if (::geteuid() == 0) args << "--user=root";
        for (const auto& mx : mx_) args << QString::fromStdString("--mx-host=" + mx);
        if (!process_.start("/usr/sbin/dnsmasq", args)) {
            error_ = "dnsmasq did not start (is dnsmasq-base installed?)";
            return false;
        }
        // A child that binds a port sends us no event; poll within a bound.
        QDeadlineTimer deadline(10000);
        while (process_.running() && !udpPortTaken(port_) && !deadline.hasExpired())
            QThread::msleep(20);
        if (process_.running() && udpPortTaken(port_)) return true;
        error_ = "dnsmasq does not answer: " + process_.output().toStdString();
        process_.stop();
    }
    return false;
}

void DnsmasqServer::stop() { process_.stop(); }

}  // namespace testsupport
