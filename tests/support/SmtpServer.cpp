#include "tests/support/SmtpServer.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <sstream>

#include "platform/EventPump.h"

namespace testsupport {

namespace {

// Writes each message as msg-NNN.data (the raw content) and, once that is
// complete, msg-NNN.env (sender, then one recipient per line).
const char* const kHandler = R"PY(
import os

OUT = os.path.dirname(os.path.abspath(__file__))


class Handler:
    def __init__(self):
        self.count = 0
        path = os.path.join(OUT, 'refused.txt')
        self.refused = set()
        if os.path.exists(path):
            with open(path) as f:
                self.refused = set(line.strip() for line in f if line.strip())

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused:
            return '550 5.1.1 <%s>: Recipient address rejected: User unknown' % address
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(OUT, 'msg-%03d' % self.count)
        with open(base + '.data', 'wb') as f:
            f.write(envelope.original_content)
        with open(base + '.tmp', 'w') as f:
            f.write((envelope.mail_from or '') + '\n')
            for rcpt in envelope.rcpt_tos:
                f.write(rcpt + '\n')
        os.rename(base + '.tmp', base + '.env')
        return '250 Message accepted for delivery'
)PY";

}  // namespace

SmtpServer::SmtpServer() = default;
SmtpServer::~SmtpServer() { stop(); }

bool SmtpServer::start() {
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    const std::string w = dir_.path().toStdString();
    writeFile(w + "/harvexsink.py", kHandler);
    std::string refused;
    for (const std::string& address : refused_) refused += address + "\n";
    writeFile(w + "/refused.txt", refused);
    port_ = freeTcpPort();
    // The handler module is imported from the fixture's folder (the working
    // directory of the server).
    if (!process_.start("/usr/bin/python3",
                        {"-m", "aiosmtpd", "-n", "-l", QString("127.0.0.1:%1").arg(port_), "-c",
                         "harvexsink.Handler"},
                        dir_.path())) {
        error_ = "aiosmtpd did not start (is python3-aiosmtpd installed?)";
        return false;
    }
    if (!waitForTcpPort(port_)) {
        error_ = "aiosmtpd does not answer: " + process_.output().toStdString();
        return false;
    }
    return true;
}

void SmtpServer::stop() { process_.stop(); }

std::vector<SmtpServer::Message> SmtpServer::messages() const {
    std::vector<Message> result;
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof(name), "/msg-%03d", n);
        const std::string base = dir_.path().toStdString() + name;
        if (!QFile::exists(QString::fromStdString(base + ".env"))) break;
        Message m;
        std::istringstream env(readFile(base + ".env"));
        std::getline(env, m.mailFrom);
        for (std::string line; std::getline(env, line);) m.rcptTos.push_back(line);
        m.data = readFile(base + ".data");
        result.push_back(std::move(m));
    }
    return result;
}

bool SmtpServer::waitForMessages(std::size_t count, int timeoutMs) const {
    // The server is another process; its files appear without an event here,
    // so the wait polls them on each turn of a bounded wait.
    QTimer poll;
    poll.start(20);
    return platform::waitUntilFor([&] { return messages().size() >= count; }, timeoutMs);
}

}  // namespace testsupport
