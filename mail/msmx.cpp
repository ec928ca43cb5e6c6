#include "mail/msmx.h"

#include "mail/MailErrors.h"
#include "mail/MailStrings.h"
#include "platform/EventPump.h"
#include "platform/LineFile.h"
#include "platform/MessageReceiver.h"

namespace {

constexpr std::uint16_t kTypeMX = 15;
constexpr std::uint16_t kClassIN = 1;
// RFC 1035, 2.3.4: a name is at most 255 octets on the wire.
constexpr std::size_t kMaxNameOctets = 255;
// Following more pointers than a datagram has bytes to point at means a loop.
constexpr int kMaxPointers = 64;

const char* const kMalformedAnswer = "The answer of the name server is malformed";

// Reads a datagram without ever stepping past its end.
class AnswerReader {
public:
    explicit AnswerReader(const std::string& data) : data_(data) {}

    std::size_t position() const { return pos_; }
    void seek(std::size_t pos) { pos_ = pos; }

    std::uint8_t byte() {
        need(1);
        return static_cast<std::uint8_t>(data_[pos_++]);
    }
    std::uint16_t word() {
        need(2);
        const auto v = static_cast<std::uint16_t>(static_cast<std::uint8_t>(data_[pos_]) << 8 |
                                                  static_cast<std::uint8_t>(data_[pos_ + 1]));
        pos_ += 2;
        return v;
    }
    std::uint32_t dword() {
        const std::uint32_t high = word();
        return high << 16 | word();
    }
    void skip(std::size_t n) {
        need(n);
        pos_ += n;
    }

    // A domain name with compression pointers (RFC 1035, 4.1.4): every label
    // followed by ".". Pointer loops and over-long names are errors.
    std::string name() {
        std::string text;
        std::size_t octets = 0;
        int pointers = 0;
        std::size_t resume = 0;
        bool jumped = false;
        while (true) {
            const std::uint8_t length = byte();
            if (length == 0) break;
            if (length >= 192) {
                const std::size_t offset = static_cast<std::size_t>(length - 192) << 8 | byte();
                if (!jumped) resume = pos_;
                jumped = true;
                if (++pointers > kMaxPointers || offset >= data_.size())
                    throw EResolverError(kMalformedAnswer);
                pos_ = offset;
                continue;
            }
            octets += length + 1u;
            if (octets > kMaxNameOctets) throw EResolverError(kMalformedAnswer);
            need(length);
            text.append(data_, pos_, length);
            text += '.';
            pos_ += length;
        }
        if (jumped) pos_ = resume;
        return text;
    }

private:
    void need(std::size_t n) const {
        if (pos_ > data_.size() || data_.size() - pos_ < n) throw EResolverError(kMalformedAnswer);
    }

    const std::string& data_;
    std::size_t pos_ = 0;
};

std::string rcodeText(unsigned rcode) {
    switch (rcode) {
        case 1:
            return "Domain server was unable to interpret a query";
        case 2:
            return "Domain server failure";
        case 3:
            return "Domain name does not exist";
        case 4:
            return "Not implemented";
        case 5:
            return "Domain server refused to return the information";
        default:
            return "Domain server Error #" + std::to_string(rcode);
    }
}

void putWord(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}

}  // namespace

TmsMXResolver::TmsMXResolver()
    : window_(std::make_unique<platform::MessageReceiver>(
          [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
              WndProc(msg, wParam, lParam);
          })) {
    counter_.setTimeOut(60);
    agWinsock().Load();
    const int result = agWinsock().WSAStartup(257);
    if (result != 0) throw ESocketError(MailErrorText(result), result);
    started_ = true;
}

TmsMXResolver::~TmsMXResolver() {
    if (socket_ != INVALID_SOCKET) agWinsock().closesocket(socket_);
    window_.reset();
    if (!LogFileName.empty()) platform::writeLineFile(LogFileName, log_);
    // Destruction must not throw; a failed cleanup has nothing left to undo.
    if (started_ && agWinsock().Loaded()) agWinsock().WSACleanup();
}

void TmsMXResolver::AddLog(const std::string& text) {
    if (!LogFileName.empty()) log_.push_back(text);
}

void TmsMXResolver::WndProc(unsigned msg, std::uintptr_t /*wParam*/, std::intptr_t lParam) {
    if (msg != WM_ASYNCSELECT) return;
    const int error = TagWinsock::WSAGetSelectError(lParam);
    if (error != 0) {
        lastError_ = error;
        return;
    }
    if (TagWinsock::WSAGetSelectEvent(lParam) == FD_READ) dataReady_ = true;
}

std::string TmsMXResolver::BuildQuery(const std::string& domain) {
    std::string query;
    putWord(query, kQueryId);
    TQuerySpec flags;
    flags.setQR(false);
    flags.setOpcode(0);
    flags.setRD(true);
    putWord(query, flags.Flags());
    putWord(query, 1);  // QDCOUNT
    putWord(query, 0);
    putWord(query, 0);
    putWord(query, 0);
    // Each label is preceded by its length in one byte (for a longer label,
    // which no valid name has, the low byte of its length).
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = domain.find('.', start);
        const std::size_t end = dot == std::string::npos ? domain.size() : dot;
        query += static_cast<char>((end - start) & 0xFF);
        query.append(domain, start, end - start);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    query += '\0';
    putWord(query, kTypeMX);
    putWord(query, kClassIN);
    return query;
}

void TmsMXResolver::ParseAnswer(const std::string& answer, TMXList& list,
                                const std::function<void(const std::string&)>& log) {
    auto note = [&log](const std::string& text) {
        if (log) log(text);
    };
    AnswerReader in(answer);
    const std::uint16_t id = in.word();
    const TQuerySpec flags(in.word());
    in.word();  // QDCOUNT: exactly one question is skipped, whatever it says
    const std::uint16_t ancount = in.word();
    in.word();
    in.word();
    if (id != kQueryId) throw EResolverError("IDs in the query and response are different");
    if (!flags.QR()) throw EResolverError("This is not a response");
    if (flags.AA()) note("Authoritative Answer");
    if (flags.TC()) note("Response truncated");
    if (flags.RA()) note("Recursion available");
    if (flags.RCODE() != 0) {
        note("Error code " + std::to_string(flags.RCODE()));
        throw EResolverError(rcodeText(flags.RCODE()));
    }
    in.name();
    in.word();
    in.word();
    for (unsigned i = 0; i < ancount; ++i) {
        in.name();
        const std::uint16_t type = in.word();
        in.word();   // class
        in.dword();  // TTL
        const std::uint16_t rdlength = in.word();
        if (type == kTypeMX) {
            auto rec = std::make_unique<TMXRec>();
            rec->Preference = in.word();
            rec->Exchange = in.name();
            list.Add(std::move(rec));
        } else {
            in.skip(rdlength);
        }
    }
}

void TmsMXResolver::Resolve() {
    TagWinsock& ws = agWinsock();
    cancel_ = false;
    dataReady_ = false;
    counter_.setTimedOut(false);
    stream_.clear();
    MXList.Clear();
    if (OnSendingQuery) OnSendingQuery();

    AddLog("Opening connection");
    const std::uint32_t address = ws.InetAddr(DNSAddress);
    if (address == INADDR_NONE_VALUE) {
        // Not a dotted address: it can never be reached, and is never looked up.
        throw ESocketError(MailErrorText(platform::WSAEDESTADDRREQ), platform::WSAEDESTADDRREQ);
    }
    socket_ = ws.socket(AF_INET_FAMILY, kSockDgram, 0);
    if (socket_ == INVALID_SOCKET) {
        const int code = ws.WSAGetLastError();
        throw ESocketError(MailErrorText(code), code);
    }
    try {
        Exchange();
    } catch (...) {
        ws.closesocket(socket_);
        socket_ = INVALID_SOCKET;
        window_->discardPending();
        counter_.Stop();
        if (OnClosingConnection) OnClosingConnection();
        throw;
    }
    ws.closesocket(socket_);
    socket_ = INVALID_SOCKET;
    window_->discardPending();
    if (OnClosingConnection) OnClosingConnection();
}

void TmsMXResolver::Exchange() {
    TagWinsock& ws = agWinsock();
    auto raiseSocketError = [&ws] {
        const int code = ws.WSAGetLastError();
        throw ESocketError(MailErrorText(code), code);
    };
    if (ws.WSAAsyncSelect(socket_, window_.get(), WM_ASYNCSELECT, FD_READ) == SOCKET_ERROR)
        raiseSocketError();
    if (ws.connect(socket_, ws.InetAddr(DNSAddress), TagWinsock::Htons(Port)) == SOCKET_ERROR)
        raiseSocketError();

    AddLog("Constructing query");
    stream_ = BuildQuery(Domain);
    AddLog("Sending query");
    if (ws.send(socket_, stream_.data(), static_cast<int>(stream_.size()), 0) == SOCKET_ERROR)
        raiseSocketError();
    if (OnWaitingForResponse) OnWaitingForResponse();

    counter_.Start();
    platform::waitUntil([this] { return dataReady_ || counter_.TimedOut() || cancel_; });
    counter_.Stop();
    if (counter_.TimedOut()) throw ETimedOutError();
    if (cancel_) throw ECanceledError();

    // At most 1024 bytes of the datagram are read.
    char buffer[kMaxAnswer];
    int received = 0;
    counter_.Start();
    while (!counter_.TimedOut()) {
        dataReady_ = false;
        received = ws.recv(socket_, buffer, kMaxAnswer, 0);
        if (received > 0) break;
        if (received == SOCKET_ERROR && ws.WSAGetLastError() != platform::WSAEWOULDBLOCK) {
            counter_.Stop();
            raiseSocketError();
        }
        platform::waitUntil([this] { return dataReady_ || counter_.TimedOut(); });
    }
    counter_.Stop();
    if (received <= 0) throw ETimedOutError();
    stream_.assign(buffer, static_cast<std::size_t>(received));

    ParseAnswer(stream_, MXList, [this](const std::string& text) { AddLog(text); });
    MXList.Sort();
}
