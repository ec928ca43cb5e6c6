// Speed of the engine's text work: the tag scan and link processing of a large
// page, the duplicate test against long lists, and a long run of status updates
// with "downloads.log" kept equal to the pane.
//
// Run: engine_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <string>

#include "engine/LinkExtraction.h"
#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/UrlList.h"
#include "engine/wsmain.h"

using namespace engine;

namespace {

constexpr int kLinkTags = 20000;
constexpr std::size_t kPageBytes = 2u << 20;  // 2 MiB

// A 2 MiB page with kLinkTags link tags (pages, images, a few off-site and
// duplicate links) between paragraphs of text and non-link tags.
std::string bigPage() {
    std::string page = "<html><head><title>Big</title></head><body bgcolor=white>\r\n";
    const std::string filler =
        "<p class=text>Lorem ipsum dolor sit amet, <b>consectetur</b> adipiscing.</p>\r\n";
    const std::size_t perTag = kPageBytes / kLinkTags;
    for (int i = 0; i < kLinkTags; ++i) {
        const std::size_t start = page.size();
        switch (i % 5) {
            case 0:
                page += "<a href=\"sec" + std::to_string(i % 40) + "/page" + std::to_string(i) +
                        ".html\">page</a>";
                break;
            case 1:
                page += "<IMG SRC=\"../img/pic" + std::to_string(i) + ".gif\" alt=\"picture\">";
                break;
            case 2:
                page += "<a href=\"/docs/q" + std::to_string(i) + ".htm?x=1#top\">q</a>";
                break;
            case 3:
                page += "<a href=\"http://elsewhere.test/x" + std::to_string(i) + ".html\">off</a>";
                break;
            case 4:
                page += "<td background=\"sec1/page0.html\">dup</td>";
                break;
        }
        while (page.size() - start + filler.size() <= perTag) page += filler;
        // Plain text pads the rest: a cut tag would swallow the next link.
        page.append(perTag > page.size() - start ? perTag - (page.size() - start) : 0, '.');
    }
    page += "</body></html>\r\n";
    return page;
}

const std::string& sharedPage() {
    static const std::string page = bigPage();
    return page;
}

void BM_GetSrcURLs_2MiB(benchmark::State& state) {
    const std::string& page = sharedPage();
    for (auto _ : state) {
        TUrlList tags;
        GetSrcURLs(page, tags, {});
        benchmark::DoNotOptimize(tags.size());
        state.counters["tags"] = static_cast<double>(tags.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_GetSrcURLs_2MiB)->Unit(benchmark::kMillisecond);

// A hostile 2 MiB page: runs of stray ">" before each tag and no closing tag
// anywhere, so a scan that searched afresh from each position would be
// quadratic.
void BM_GetSrcURLs_StrayClosers_2MiB(benchmark::State& state) {
    std::string page;
    while (page.size() < kPageBytes) page += "<a href=x.html>" + std::string(90, '>');
    for (auto _ : state) {
        TUrlList tags;
        GetSrcURLs(page, tags, {});
        benchmark::DoNotOptimize(tags.size());
        state.counters["tags"] = static_cast<double>(tags.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_GetSrcURLs_StrayClosers_2MiB)->Unit(benchmark::kMillisecond);

// The whole analysis of one page: scan, resolve, scope and duplicate tests,
// queueing, and one status update (pane line and log file) per queued link.
void BM_AnalysePage_2MiB_20000Tags(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        PlainJobView view;
        view.saveDirectory = tmp.path().toStdString() + "/";
        view.startURL = "http://host.test/docs/";
        view.dloadEverything = true;
        EngineUnderTest engine(view);
        engine.BuildRulesFromPage3();
        engine.CreateObjectLists();
        engine.MemoDownload = sharedPage();
        state.ResumeTiming();

        engine.GetSrcURLs();
        engine.ProcessURLs("http://host.test/docs/index.html");

        state.PauseTiming();
        state.counters["queued"] = engine.iQueued;
        state.counters["errors"] = static_cast<double>(engine.ErrorList.size());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AnalysePage_2MiB_20000Tags)->Unit(benchmark::kMillisecond);

// URLConfirm with long lists: the duplicate test must not grow with them.
void BM_URLConfirm_ListsOf(benchmark::State& state) {
    PlainJobView view;
    view.startURL = "http://host.test/";
    EngineUnderTest engine(view);
    engine.BuildRulesFromPage3();
    const auto entries = static_cast<int>(state.range(0));
    for (int i = 0; i < entries; ++i) {
        engine.QueueList.push_back("http://host.test/q/" + std::to_string(i) + ".html");
        engine.ProcessedList.push_back("http://host.test/p/" + std::to_string(i) + ".html");
        engine.ErrorList.push_back("http://host.test/e/" + std::to_string(i) + ".html");
    }
    int i = 0;
    for (auto _ : state) {
        const std::string candidate =
            "http://HOST.test/P/" + std::to_string(i++ % (2 * entries)) + ".html";
        benchmark::DoNotOptimize(engine.URLConfirm(candidate));
    }
}
BENCHMARK(BM_URLConfirm_ListsOf)->Arg(100)->Arg(10000)->Arg(100000);

// 100,000 status updates with the log file kept equal to the pane.
void BM_StatusUpdates_100000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir tmp;
        PlainJobView view;
        view.saveDirectory = tmp.path().toStdString() + "/log";
        EngineUnderTest engine(view);
        state.ResumeTiming();
        for (int i = 0; i < 100000; ++i) {
            engine.sStatus = (i % 3 == 0) ? "Downloading" : "Saved";
            engine.iTotalBytes += 1536;
            engine.UpDateStatus("http://host.test/docs/page" + std::to_string(i) + ".html");
        }
        state.PauseTiming();
        state.counters["lines"] = static_cast<double>(view.logLines.size());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StatusUpdates_100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
