#include "tests/hostile/CrawlHarness.h"

#include <QDirIterator>
#include <algorithm>
#include <cstdio>

namespace hostile {

namespace {

// The watchdog ticks this often in real time; the clock driver moves the
// clock one second per tick of its own while a connection is held silent.
constexpr int kWatchdogTickMs = 20;
constexpr int kClockStepMs = 5;

}  // namespace

Crawl::Crawl() {
    view.plain.saveDirectory = saveDir();
    engine = std::make_unique<engine::EngineUnderTest>(view, clock);
    engine->Timer1.setInterval(kWatchdogTickMs);

    clockDriver_.setInterval(kClockStepMs);
    clockDriver_.onTimer = [this] {
        const bool silent = !silentTarget_.empty() && engine->Fetching() &&
                            engine->Web1.URL() == url(silentTarget_) &&
                            site.finishedFor(silentTarget_) > 0;
        if (site.stalled() > 0 || silent) clock.advance(1);
    };
    guard_.onTimer = [this] {
        guardFired_ = true;
        guard_.setEnabled(false);
        engine->bStop = true;
        engine->Web1.Cancel();
    };
}

Crawl::~Crawl() {
    clockDriver_.setEnabled(false);
    guard_.setEnabled(false);
    site.stop();
}

std::string Crawl::root() const { return root_.path().toStdString(); }

std::string Crawl::saveDir() const { return root() + "/inside/save/"; }

bool Crawl::run(const std::string& startTarget, int guardMs) {
    if (!site.start()) return false;
    view.plain.startURL = url(startTarget);
    engine->BuildRulesFromPage3();
    // The free space as page 2 measured it: plenty, unless a test says else.
    engine->iDiskFree = std::int64_t{1} << 40;
    clockDriver_.setEnabled(true);
    guard_.setInterval(guardMs);
    guard_.setEnabled(true);
    engine->SetUpObjectLists();
    guard_.setEnabled(false);
    clockDriver_.setEnabled(false);
    if (guardFired_) {
        // What the engine was doing when it hung, for the failure report.
        const auto& lines = view.everyLine;
        for (std::size_t i = lines.size() > 20 ? lines.size() - 20 : 0; i < lines.size(); ++i)
            std::fprintf(stderr, "log: %s\n", lines[i].substr(0, 300).c_str());
    }
    return !guardFired_;
}

std::vector<std::string> Crawl::filesOutsideSaveDir() const {
    std::vector<std::string> outside;
    const std::string save = saveDir();
    QDirIterator it(root_.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::string path = it.next().toStdString();
        if (path.rfind(save, 0) != 0) outside.push_back(path);
    }
    return outside;
}

bool Crawl::logged(const std::string& phrase, const std::string& text) const {
    const std::string line = phrase + " " + text;
    return std::find(view.everyLine.begin(), view.everyLine.end(), line) != view.everyLine.end();
}

bool Crawl::loggedAnywhere(const std::string& fragment) const {
    return std::any_of(view.everyLine.begin(), view.everyLine.end(),
                       [&](const std::string& l) { return l.find(fragment) != std::string::npos; });
}

bool Crawl::inList(const engine::TUrlList& list, const std::string& url) const {
    return list.IndexOf(url) >= 0;
}

}  // namespace hostile
