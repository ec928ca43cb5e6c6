// libFuzzer target for the HTML side of offline copies: the page's link sites
// lie inside it, and converting a converted page changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/LinkConversion.h"
#include "engine/PageRequisites.h"
#include "engine/SavedFiles.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    for (const auto& site : engine::FindPageLinks(page)) {
        check(site.offset + site.length <= page.size(), "a link lies inside the page");
    }
    engine::TSavedFiles saved;
    saved.Add("http://host.test/docs/a/page.html", "/save/docs/a/page.html");
    saved.Add("http://host.test/docs/index.html", "/save/docs/index.html");
    saved.Add("http://host.test/docs/sp%20ace.html", "/save/docs/sp ace.html");
    saved.Add("http://host.test/img/a.png", "/save/img/a.png");
    const auto once = engine::ConvertPageLinks(page, "http://host.test/docs/a/page.html",
                                               "/save/docs/a/page.html", saved);
    check(once.linksChanged > 0 || once.text == page, "nothing changes without a changed link");
    const auto twice = engine::ConvertPageLinks(once.text, "http://host.test/docs/a/page.html",
                                                "/save/docs/a/page.html", saved);
    check(twice.text == once.text, "a converted page stays as it is");
    return 0;
}
