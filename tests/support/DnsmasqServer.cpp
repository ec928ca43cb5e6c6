#include "tests/support/DnsmasqServer.h"

#include <unistd.h>

#include <QTimer>
#include <QUdpSocket>

#include "platform/EventPump.h"

namespace testsupport {

namespace {

// Asks the server a question until it answers: its answer is the event that
// says it is ready.
bool answersQueries(std::uint16_t port, const PeerProcess& process) {
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0)) return false;
    const QByteArray query(
        "\x00\x01\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
        "\x05probe\x04test\x00\x00\x0F\x00\x01",
        29);
    bool answered = false;
    QObject::connect(&probe, &QUdpSocket::readyRead, [&] { answered = true; });
    QTimer resend;
    QObject::connect(&resend, &QTimer::timeout,
                     [&] { probe.writeDatagram(query, QHostAddress::LocalHost, port); });
    probe.writeDatagram(query, QHostAddress::LocalHost, port);
    resend.start(100);
    return platform::waitUntilFor([&] { return answered || !process.running(); }, 10000) &&
           answered;
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
        if (answersQueries(port_, process_)) return true;
        error_ = "dnsmasq does not answer: " + process_.output().toStdString();
        process_.stop();
    }
    return false;
}

void DnsmasqServer::stop() { process_.stop(); }

}  // namespace testsupport
