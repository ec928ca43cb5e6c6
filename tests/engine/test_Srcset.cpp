#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Srcset.h"

using namespace engine;

namespace {

struct SrcsetCase {
    const char* name;
    std::string value;
    // "url|descriptors" per candidate.
    std::vector<std::string> candidates;
};

class SrcsetTable : public ::testing::TestWithParam<SrcsetCase> {};

TEST_P(SrcsetTable, SplitsCandidatesByHtmlRules) {
    const SrcsetCase& c = GetParam();
    std::vector<std::string> found;
    for (const auto& candidate : ParseSrcset(c.value)) {
        EXPECT_EQ(c.value.substr(candidate.offset, candidate.length), candidate.url);
        found.push_back(candidate.url + "|" + candidate.descriptors);
    }
    EXPECT_EQ(found, c.candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Srcset, SrcsetTable,
    ::testing::Values(
        SrcsetCase{"One", "a.png", {"a.png|"}},
        SrcsetCase{"Densities", "a.png 1x, b.png 2x", {"a.png|1x", "b.png|2x"}},
        SrcsetCase{
            "Widths", "small.jpg 480w,large.jpg 1080w", {"small.jpg|480w", "large.jpg|1080w"}},
        SrcsetCase{"CommaInsideUrl", "a,b.png 1x, c.png 2x", {"a,b.png|1x", "c.png|2x"}},
        SrcsetCase{"TrailingCommaEndsUrl", "a.png,b.png 2x", {"a.png,b.png|2x"}},
        SrcsetCase{"UrlEndingInCommas", "a.png,, b.png", {"a.png|", "b.png|"}},
        SrcsetCase{"LeadingBlanksAndCommas", " ,, a.png 1x ,", {"a.png|1x"}},
        SrcsetCase{"CommaInParentheses", "a.png (x, y) 1x, b.png", {"a.png|(x, y) 1x", "b.png|"}},
        SrcsetCase{"ManyDescriptors", "a.png 100w  200h\t, b.png", {"a.png|100w 200h", "b.png|"}},
        SrcsetCase{"DataUrlKeepsItsComma",
                   "data:image/png;base64,AAA= 1x",
                   {"data:image/png;base64,AAA=|1x"}},
        SrcsetCase{"Empty", "", {}}, SrcsetCase{"OnlySeparators", " , ,\n", {}},
        SrcsetCase{"UnclosedParenthesis", "a.png (1x, b.png", {"a.png|(1x, b.png"}},
        SrcsetCase{"LineBreaksSeparate", "a.png\n1x,\nb.png\n2x", {"a.png|1x", "b.png|2x"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
