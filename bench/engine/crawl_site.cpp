// Crawls a generated site from a real nginx on loopback with the engine alone
// (no windows) and reports wall time, files and bytes saved, whether the copy
// equals the site's manifest, and the process's peak resident memory.
//
// usage: engine_crawl_bench [PAGES]   (default 500; run under /usr/bin/time -v
// for the kernel's own peak-memory figure)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "tests/support/Peers.h"

namespace {

std::set<std::string> readManifest(const std::string& path) {
    std::set<std::string> files;
    std::istringstream lines(testsupport::readFile(path));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) files.insert(line);
    return files;
}

std::set<std::string> savedTree(const std::string& saveDir) {
    std::set<std::string> files;
    QDirIterator it(QString::fromStdString(saveDir), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        std::string relative = it.next().toStdString().substr(saveDir.size());
        if (relative != "downloads.log") files.insert(relative);
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string pages = argc > 1 ? argv[1] : "500";

    testsupport::NginxServer server;
    if (!server.start()) {
        std::fprintf(stderr, "nginx: %s\n", server.error().c_str());
        return 2;
    }
    QProcess generator;
    generator.start("/usr/bin/python3",
                    {HARVEX_SITE_GENERATOR, QString::fromStdString(server.rootDir()),
                     QString::fromStdString(pages)});
    if (!generator.waitForFinished(600000) || generator.exitCode() != 0) {
        std::fprintf(stderr, "site generator failed\n");
        return 2;
    }
    const std::set<std::string> manifest = readManifest(server.workDir() + "/manifest.txt");

    QTemporaryDir out;
    engine::PlainJobView view;
    view.saveDirectory = out.path().toStdString() + "/copy/";
    view.startURL = server.baseUrl() + "/";
    engine::EngineUnderTest engine(view);
    engine.BuildRulesFromPage3();
    if (!engine.MeasureDiskFree()) {
        std::fprintf(stderr, "free space of %s cannot be read\n", view.saveDirectory.c_str());
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    engine.SetUpObjectLists();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const bool exact = savedTree(view.saveDirectory) == manifest;
    std::printf("pages %s: %.2f s wall, %zu files (%lld bytes) saved, %zu errors, %zu log lines\n",
                pages.c_str(), seconds, engine.SavedList.size(),
                static_cast<long long>(engine.iTotalBytes), engine.ErrorList.size(),
                engine.statusLog().paneLines().size());
    std::printf("copy %s the manifest (%zu files); peak resident memory %ld KiB\n",
                exact ? "equals" : "DIFFERS FROM", manifest.size(), usage.ru_maxrss);
    const std::size_t urls = engine.ProcessedList.size() + engine.ErrorList.size() +
                             engine.QueueList.size() + engine.SavedList.size();
    const std::size_t listBytes = engine.ProcessedList.memoryBytes() +
                                  engine.ErrorList.memoryBytes() + engine.QueueList.memoryBytes() +
                                  engine.SavedList.memoryBytes();
    std::printf("lists: %zu entries in %zu KiB (%.0f bytes each); pane text kept in %zu KiB\n",
                urls, listBytes / 1024, urls ? static_cast<double>(listBytes) / urls : 0.0,
                engine.statusLog().memoryBytes() / 1024);
    return exact ? 0 : 1;
}
