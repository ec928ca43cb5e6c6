// Fetches one URL with TWeb straight into a file, the way the engine fetches
// any file that is not a page, and prints the throughput.
//
//   http_fetch_bench <url> <store file> [rounds]
//
// Prints one line per round: "bytes seconds MiB/s", then "best MiB/s".

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/Web.h"
#include "platform/EventPump.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <url> <store file> [rounds]\n", argv[0]);
        return 2;
    }
    const std::string url = argv[1];
    const std::string store = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;

    http::TWeb web;
    // The engine's settings for a file fetch.
    web.setAccept("*/*");
    web.setBufferSize(8192);
    web.setUserAgent("tectonix' dope fly downloader");
    web.setMethod(http::mtGET);
    web.setStoreToFile(true);
    web.setStoreName(store);
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
            std::fprintf(stderr, "fetch failed: status \"%s\", %lld of %lld bytes\n",
                         web.StatusText().c_str(), static_cast<long long>(bytes),
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
