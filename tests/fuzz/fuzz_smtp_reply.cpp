// libFuzzer target for the SMTP client's reply reader: a loopback server plays
// the input as everything it says (in pieces, then it closes) while the client
// runs a whole send. The send either succeeds or fails with one of the mail
// errors; it never reads past a line or waits forever.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/MailErrors.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/ScriptedServer.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzzsupport::ensureApplication();

    testsupport::ScriptedServer server;
    server.readRequest(false);
    for (const std::string& piece : fuzzsupport::pieces(data, size)) server.send(piece);
    server.close();
    check(server.start(), "the loopback server starts");

    TmsMessage message;
    message.Sender().setAddress("me@sender.test");
    message.setSubject("fuzz");
    message.Recipients().Add("friend@example.test", "");
    message.setBodyText("Hello\r\n");

    TmsSMTP smtp;
    smtp.Server = "127.0.0.1:" + std::to_string(server.port());
    // 500 "seconds" of 20 ms: the server has closed long before, so a
    // time-out only shows up when the reader waits for nothing.
    smtp.setTimeOut(500);
    smtp.Counter().setTickInterval(20);
    smtp.MailMessage = &message;
    std::size_t received = 0;
    smtp.OnLineReceived = [&](const std::string& line) {
        check(line.size() <= TmsSMTP::kMaxLine, "a reply line is bounded");
        received += line.size();
    };
    try {
        smtp.Send();
    } catch (const ETimedOutError&) {
        check(false, "a closed connection ends the wait without a time-out");
    } catch (const EMailError&) {
        // Refused, malformed or cut short: reported as the mail errors are.
    }
    check(received <= size, "no more reply text than the server sent");
    server.stop();
    return 0;
}
