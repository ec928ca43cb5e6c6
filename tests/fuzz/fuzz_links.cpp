// libFuzzer target for link extraction as the engine runs it: an arbitrary
// page in the page buffer, its tags collected (GetSrcURLs) and its links
// resolved, filtered and queued (ProcessURLs). The first byte picks the scope
// settings; the rest is the page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzzsupport::ensureApplication();

    engine::PlainJobView view;
    // No save directory: the status log stays in memory and nothing is written.
    view.saveDirectory.clear();
    view.startURL = "http://host.test/docs/";
    view.stayinPath = data[0] & 1;
    view.stayinDomain = data[0] & 2;
    view.dloadEverything = data[0] & 4;

    engine::EngineUnderTest engine(view);
    engine.BuildRulesFromPage3();
    engine.CreateObjectLists();
    const std::size_t queuedBefore = engine.QueueList.size();

    engine.MemoDownload.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    engine.GetSrcURLs();
    const std::size_t tags = engine.TagList.size();
    engine.ProcessURLs("http://host.test/docs/page.html");

    check(engine.TagList.empty(), "every tag is taken from the tag list");
    check(engine.QueueList.size() <= queuedBefore + tags, "at most one link per tag");
    check(static_cast<std::size_t>(engine.iQueued) == engine.QueueList.size(),
          "the queued count follows the queue");
    for (std::size_t i = 0; i < engine.QueueList.size(); ++i) {
        check(engine.QueueList.IndexOf(engine.QueueList[i]) == static_cast<long>(i),
              "no link is queued twice");
    }
    check(view.progress >= 0 && view.progress <= 100, "progress within 0..100");
    for (const auto& line : view.logLines) {
        check(line.find_first_of("\r\n") == std::string::npos, "a log line holds no line break");
    }
    return 0;
}
