#include "tests/mail/MailTestSupport.h"

#include <sys/socket.h>

namespace mailtest {

ScriptedSmtp::ScriptedSmtp() {
    answer = defaultAnswer;
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* next = server_.nextPendingConnection();
        if (!next) return;
        ++connections;
        client_ = next;
        clientClosed = false;
        QObject::connect(client_, &QTcpSocket::readyRead, this, [this] { onRead(); });
        QObject::connect(client_, &QTcpSocket::disconnected, this, [this] { clientClosed = true; });
        if (!greeting.empty())
            client_->write(greeting.data(), static_cast<qint64>(greeting.size()));
    });
}

std::string ScriptedSmtp::defaultAnswer(const std::string& line) {
    if (line.rfind("HELO", 0) == 0) return "250 scripted\r\n";
    if (line.rfind("MAIL FROM:", 0) == 0) return "250 OK\r\n";
    if (line.rfind("RCPT TO:", 0) == 0) return "250 OK\r\n";
    if (line == "DATA") return "354 End data with <CR><LF>.<CR><LF>\r\n";
    if (line == ".") return "250 Queued\r\n";
    if (line == "QUIT") return "221 Bye\r\n";
    return "500 What?\r\n";
}

void ScriptedSmtp::sendRaw(const std::string& bytes) {
    if (client_) client_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void ScriptedSmtp::reset() {
    if (!client_) return;
    // A zero linger time turns the close into a reset.
    struct linger hard = {1, 0};
    ::setsockopt(static_cast<int>(client_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                 sizeof(hard));
    client_->abort();
    client_ = nullptr;
}

void ScriptedSmtp::onRead() {
    buffer_ += client_->readAll().toStdString();
    std::size_t end;
    while (client_ && (end = buffer_.find("\r\n")) != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        if (inData_ && line != ".") {
            data += line + "\r\n";
            continue;
        }
        inData_ = false;
        commands.push_back(line);
        if (!closeOn.empty() && line.rfind(closeOn, 0) == 0) {
            client_->disconnectFromHost();
            client_ = nullptr;
            return;
        }
        const std::string reply = answer(line);
        if (line == "DATA" && reply.rfind("354", 0) == 0) inData_ = true;
        if (!reply.empty()) client_->write(reply.data(), static_cast<qint64>(reply.size()));
        if (line == "QUIT") {
            client_->disconnectFromHost();
            client_ = nullptr;
            return;
        }
    }
}

ScriptedDns::ScriptedDns() {
    socket_.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&socket_, &QUdpSocket::readyRead, this, [this] {
        while (socket_.hasPendingDatagrams()) {
            QByteArray datagram(static_cast<int>(socket_.pendingDatagramSize()), '\0');
            QHostAddress from;
            quint16 fromPort = 0;
            socket_.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
            queries.push_back(datagram.toStdString());
            const std::string reply = answerFor ? answerFor(queries.back()) : std::string();
            if (!reply.empty())
                socket_.writeDatagram(reply.data(), static_cast<qint64>(reply.size()), from,
                                      fromPort);
        }
    });
}

std::string DnsAnswer::word(std::uint16_t v) {
    return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}

std::string DnsAnswer::dword(std::uint32_t v) {
    return word(static_cast<std::uint16_t>(v >> 16)) + word(static_cast<std::uint16_t>(v & 0xFFFF));
}

std::string DnsAnswer::encodeName(const std::string& dotted) {
    std::string out;
    std::size_t start = 0;
    while (start < dotted.size()) {
        std::size_t dot = dotted.find('.', start);
        if (dot == std::string::npos) dot = dotted.size();
        out += static_cast<char>(dot - start);
        out += dotted.substr(start, dot - start);
        start = dot + 1;
    }
    out += '\0';
    return out;
}

std::string DnsAnswer::pointer(std::uint16_t offset) {
    return std::string{static_cast<char>(0xC0 | (offset >> 8)), static_cast<char>(offset & 0xFF)};
}

std::string DnsAnswer::record(const std::string& owner, std::uint16_t type,
                              const std::string& rdata) {
    return owner + word(type) + word(1) + dword(300) +
           word(static_cast<std::uint16_t>(rdata.size())) + rdata;
}

std::string DnsAnswer::mx(std::uint16_t preference, const std::string& exchangeEncoded) {
    return record(pointer(12), 15, word(preference) + exchangeEncoded);
}

std::string DnsAnswer::bytes() const {
    std::string out = word(id) + word(flags) + word(qdcount);
    out +=
        word(static_cast<std::uint16_t>(ancountOverride >= 0 ? ancountOverride : records.size()));
    out += word(0) + word(0);
    out += question;
    for (const auto& r : records) out += r;
    return out;
}

}  // namespace mailtest
