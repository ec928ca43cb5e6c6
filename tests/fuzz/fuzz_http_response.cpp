// libFuzzer target for the HTTP component's response reader: a loopback server
// answers the request with the input's bytes, sent in pieces (the first byte
// chooses their length and the request kind), then closes. Whatever arrives,
// the retrieval must end, every data block must be zero-terminated after its
// length, and no more body can come out than went in.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/Web.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/ScriptedServer.h"

using fuzzsupport::check;

namespace {

// Generous: a loaded CI machine may be slow, but the server has closed by then.
constexpr int kWatchdogMs = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzzsupport::ensureApplication();
    static QTemporaryDir folder;
    const bool head = data[0] & 0x40;
    const bool toFile = data[0] & 0x80;

    testsupport::ScriptedServer server;
    for (const std::string& piece : fuzzsupport::pieces(data, size)) server.send(piece);
    server.close();
    check(server.start(), "the loopback server starts");

    http::TWeb web;
    web.setAccept("*/*");
    web.setUserAgent("tectonix' dope fly downloader");
    web.setMethod(head ? http::mtHEAD : http::mtGET);
    const std::string storeName = folder.path().toStdString() + "/body";
    web.setStoreToFile(toFile);
    web.setStoreName(storeName);

    std::int64_t delivered = 0;
    web.OnDataAvailable = [&](http::TWeb*, const char* block, int length) {
        check(length >= 0, "block length not negative");
        check(block[length] == '\0', "block zero-terminated after its length");
        delivered += length;
    };
    web.setURL(server.baseUrl() + "/docs/page.html");
    web.Retrieve();
    check(platform::waitUntilFor([&] { return !web.Retrieving(); }, kWatchdogMs),
          "the retrieval ends once the server has closed");

    const auto sent = static_cast<std::int64_t>(size - 1);
    check(delivered <= sent, "no more body than the server sent");
    check(web.ContentLength() >= 0, "content length not negative");
    check(web.HeaderLines().size() <= 4096, "header lines bounded");
    if (toFile) {
        check(platform::fs::fileSize(storeName) <= sent, "stored file no larger than the answer");
        platform::fs::removeFile(storeName);
    }
    server.stop();
    return 0;
}
