#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ParseURLFns.h"
#include "engine/SavedSizes.h"
#include "engine/UrlList.h"

using namespace engine;

namespace {

long linearIndexOf(const TUrlList& list, const std::string& text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (SameURL(list[i], text)) return static_cast<long>(i);
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
    const std::vector<std::string> words = {"a",       "A",        "b",        "B",
                                            "ab",      "Ab",       "aB",       "c",
                                            "",        "http://x", "https://X", "HTTPS://x",
                                            "https:/x", "http://"};
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

// Long texts, many of them dropped again, make the list reuse and squeeze its
// text buffer; every entry must still read back as stored, in order.
TEST(UrlList, KeepsEveryEntryIntactWhileItsStorageIsReused) {
    std::mt19937 rng(7);
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        std::string url = "http://host.test/" + std::string(rng() % 400, 'p') + "/page" +
                          std::to_string(i) + ".html";
        if (i % 3 == 0) url = LowerCase(url);
        if (i % 3 == 1) url[7] = 'H';  // a case variant of a neighbour's host
        texts.push_back(url);
    }
    texts.push_back("");
    std::deque<std::string> model;
    TUrlList list;
    for (int step = 0; step < 20000; ++step) {
        const std::string& text = texts[rng() % texts.size()];
        switch (rng() % 6) {
            case 0:
            case 1:
                list.push_back(text);
                model.push_back(text);
                break;
            case 2:  // the queue's usual case: the newest entry leaves
                if (!model.empty()) {
                    list.erase(model.size() - 1);
                    model.pop_back();
                }
                break;
            case 3:
                if (!model.empty()) {
                    const std::size_t at = rng() % model.size();
                    list.erase(at);
                    model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
                }
                break;
            case 4:
                if (!model.empty()) {
                    const std::size_t at = rng() % model.size();
                    list.replace(at, text);
                    model[at] = text;
                }
                break;
            case 5:
                list.pop_front();
                if (!model.empty()) model.pop_front();
                break;
        }
        if (step % 97 == 0) {
            ASSERT_EQ(list.size(), model.size());
            for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(list[i], model[i]) << i;
            for (int probe = 0; probe < 20; ++probe) {
                const std::string& t = texts[rng() % texts.size()];
                ASSERT_EQ(list.IndexOf(t), linearIndexOf(list, t)) << "step " << step;
                ASSERT_EQ(list.contains(LowerCase(t)), linearIndexOf(list, t) >= 0);
            }
        }
    }
    // An entry replaced by a copy of itself stays the same.
    list.clear();
    list.push_back("http://host.test/x.html");
    list.replace(0, list.view(0));
    EXPECT_EQ(list.front(), "http://host.test/x.html");
    EXPECT_EQ(list.IndexOf("HTTP://HOST.TEST/X.HTML"), 0);
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.end()),
              std::vector<std::string>{"http://host.test/x.html"});
    EXPECT_THROW(list.at(1), std::out_of_range);
}

// Saved paths are told apart by their exact bytes; each keeps its own size.
TEST(SavedSizes, FindsEachPathByItsExactBytes) {
    TUrlList saved;
    TSavedSizes sizes;
    std::vector<std::string> paths;
    for (int i = 0; i < 3000; ++i) {
        paths.push_back("/copy/dir" + std::to_string(i % 40) + "/file" + std::to_string(i) +
                        (i % 2 ? ".HTML" : ".html"));
    }
    paths.push_back("/copy/Dir0/file0.html");  // differs from a saved path only in case
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        ASSERT_EQ(sizes.find(saved, paths[i]), nullptr);
        saved.push_back(paths[i]);
        sizes.add(saved, saved.size() - 1, static_cast<std::int64_t>(i) * 10);
    }
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        std::int64_t* size = sizes.find(saved, paths[i]);
        ASSERT_NE(size, nullptr) << paths[i];
        EXPECT_EQ(*size, static_cast<std::int64_t>(i) * 10);
    }
    EXPECT_EQ(sizes.find(saved, paths.back()), nullptr);
    EXPECT_EQ(sizes.find(saved, "/copy/dir0/file0.HTML"), nullptr);
    *sizes.find(saved, paths[5]) = 77;
    EXPECT_EQ(*sizes.find(saved, paths[5]), 77);
    sizes.clear();
    EXPECT_EQ(sizes.find(saved, paths[5]), nullptr);
}
