#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/ParseURLFns.h"
#include "engine/UrlList.h"

using namespace engine;

namespace {

long linearIndexOf(const TUrlList& list, const std::string& text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsCaseBlind(list[i], text)) return static_cast<long>(i);
    }
    return -1;
}

}  // namespace

TEST(UrlList, FindsTheFirstEntryRegardlessOfLetterCase) {
    TUrlList list;
    list.push_back("http://host.test/a.html");
    list.push_back("http://HOST.test/B.html");
    list.push_back("http://host.test/b.HTML");
    EXPECT_EQ(list.IndexOf("HTTP://HOST.TEST/A.HTML"), 0);
    EXPECT_EQ(list.IndexOf("http://host.test/b.html"), 1) << "the first of two case variants";
    EXPECT_EQ(list.IndexOf("http://host.test/c.html"), -1);
    EXPECT_TRUE(list.contains("http://Host.Test/a.html"));
    EXPECT_FALSE(list.contains("http://host.test/a.htm"));
}

TEST(UrlList, IndexFollowsEraseReplaceAndPopFront) {
    TUrlList list;
    list.push_back("x");
    list.push_back("y");
    list.push_back("X");
    list.erase(0);
    EXPECT_EQ(list.IndexOf("x"), 1) << "the remaining variant moved up";
    list.erase(1);
    EXPECT_FALSE(list.contains("x"));
    list.replace(0, "z");
    EXPECT_FALSE(list.contains("y"));
    EXPECT_EQ(list.IndexOf("Z"), 0);
    list.pop_front();
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.contains("z"));
    list.erase(5);  // out of range: nothing happens
    list.pop_front();
    EXPECT_TRUE(list.empty());
}

TEST(UrlList, AgreesWithALinearSearchUnderRandomEdits) {
    std::mt19937 rng(20261207);
    const std::vector<std::string> words = {"a", "A", "b", "B", "ab", "Ab", "aB", "c", ""};
    TUrlList list;
    for (int step = 0; step < 5000; ++step) {
        const std::string& word = words[rng() % words.size()];
        switch (rng() % 5) {
            case 0:
            case 1:
                list.push_back(word);
                break;
            case 2:
                if (!list.empty()) list.erase(rng() % list.size());
                break;
            case 3:
                if (!list.empty()) list.replace(rng() % list.size(), word);
                break;
            case 4:
                list.pop_front();
                break;
        }
        for (const auto& probe : words) {
            ASSERT_EQ(list.IndexOf(probe), linearIndexOf(list, probe))
                << "step " << step << " probe " << probe;
            ASSERT_EQ(list.contains(probe), linearIndexOf(list, probe) >= 0);
        }
    }
}
