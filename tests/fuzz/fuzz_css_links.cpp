// libFuzzer target for the stylesheet scanner and the conversion of a saved
// stylesheet: every link found lies inside the text, links come in order
// without overlapping, and converting a converted stylesheet changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/CssLinks.h"
#include "engine/LinkConversion.h"
#include "engine/SavedFiles.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string css(reinterpret_cast<const char*>(data), size);
    std::size_t end = 0;
    for (const auto& link : engine::FindCssLinks(css)) {
        check(link.offset >= end, "links in order, never overlapping");
        check(link.length > 0 && link.offset + link.length <= css.size(), "a link lies inside");
        check(!link.url.empty(), "a link names something");
        end = link.offset + link.length;
    }

    engine::TSavedFiles saved;
    saved.Add("http://host.test/docs/style/site.css", "/save/docs/style/site.css");
    saved.Add("http://host.test/img/a.png", "/save/img/a.png");
    saved.Add("http://host.test/docs/index.html", "/save/docs/index.html");
    const auto once = engine::ConvertStylesheetLinks(css, "http://host.test/docs/style/site.css",
                                                     "/save/docs/style/site.css", saved);
    check(once.linksChanged >= 0, "a count is never negative");
    check(once.linksChanged > 0 || once.text == css, "nothing changes without a changed link");
    const auto twice = engine::ConvertStylesheetLinks(
        once.text, "http://host.test/docs/style/site.css", "/save/docs/style/site.css", saved);
    check(twice.text == once.text, "a converted stylesheet stays as it is");
    return 0;
}
