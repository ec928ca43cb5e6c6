// Fetches one URL with TWeb straight into a file, the way the engine fetches
// any file that is not a page, and prints the throughput.
//
//   http_fetch_bench [--ca-certificate FILE] <url> <store file> [rounds]
//
// --ca-certificate: trust the certificate authorities in FILE (PEM) for an
// "https://" URL instead of the system store.
//
// Prints one line per round: "bytes seconds MiB/s", then "best MiB/s".

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/Web.h"
#include "platform/EventPump.h"
#include "platform/TlsSession.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string caFile;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ca-certificate" && i + 1 < argc) {
            caFile = argv[++i];
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s [--ca-certificate FILE] <url> <store file> [rounds]\n",
                     argv[0]);
        return 2;
    }
    const std::string url = args[0];
    const std::string store = args[1];
    const int rounds = args.size() > 2 ? std::max(1, std::atoi(args[2].c_str())) : 1;

    http::TWeb web;
    // The engine's settings for a file fetch.
    web.setAccept("*/*");
    web.setBufferSize(8192);
    web.setUserAgent("tectonix' dope fly downloader");
    web.setMethod(http::mtGET);
    web.setStoreToFile(true);
    web.setStoreName(store);
    if (!caFile.empty()) {
        platform::TlsSettings tls;
        tls.caFile = caFile;
        std::string error;
        auto context = platform::TlsContext::create(tls, &error);
        if (!context) {
            std::fprintf(stderr, "--ca-certificate %s: %s\n", caFile.c_str(), error.c_str());
            return 2;
        }
        web.setTlsContext(std::move(context));
    }
    std::int64_t bytes = 0;
    bool ended = false;
    web.OnDataAvailable = [&](http::TWeb*, const char*, int len) { bytes += len; };
    web.OnDisconnect = [&](http::TWeb*) { ended = true; };

    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        bytes = 0;
        ended = false;
        web.Cancel();
        web.setURL(url);
        auto start = std::chrono::steady_clock::now();
        web.Retrieve();
        platform::waitUntil([&] { return !web.Retrieving(); });
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ended || web.StatusText().find("200") == std::string::npos ||
            bytes != web.ContentLength()) {
            std::fprintf(stderr, "fetch failed: status \"%s\" %s, %lld of %lld bytes\n",
                         web.StatusText().c_str(), web.tlsFailure().c_str(),
                         static_cast<long long>(bytes),
                         static_cast<long long>(web.ContentLength()));
            return 1;
        }
        double mib = static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds;
        best = std::max(best, mib);
        std::printf("%lld %.3f %.1f\n", static_cast<long long>(bytes), seconds, mib);
    }
    std::printf("best %.1f\n", best);
    return 0;
}
