#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/Timer.h"
#include "testing/ManualClock.h"

// A whole engine with a plain job view, a manual clock and a save directory in a
// temporary folder, for tests that run the fetch loop against loopback servers.
class CrawlTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kPlentyOfDisk = std::int64_t{1} << 50;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        view.saveDirectory = saveDir();
        engine.iDiskFree = kPlentyOfDisk;
        engine.BuildRulesFromPage3();
        // Ticks often so a test that moves the clock sees the watchdog soon.
        engine.Timer1.setInterval(5);
    }

    std::string saveDir() const { return tmp.path().toStdString() + "/out/site/"; }
    std::string savePath(const std::string& relative) const { return saveDir() + relative; }

    // Runs cb on every turn of the event loop until it returns true.
    void whileWaiting(std::function<bool()> cb) {
        hook = std::make_unique<platform::Timer>();
        hook->setInterval(2);
        hook->onTimer = [this, cb = std::move(cb)] {
            if (cb()) hook->setEnabled(false);
        };
        hook->setEnabled(true);
    }

    std::vector<std::string> list(const engine::TUrlList& l) const { return {l.begin(), l.end()}; }

    bool logHas(const std::string& line) const {
        return std::find(view.logLines.begin(), view.logLines.end(), line) != view.logLines.end();
    }
    long countLines(const std::string& line) const {
        return std::count(view.logLines.begin(), view.logLines.end(), line);
    }

    // The lines appear in the pane in this order (others may lie between).
    void expectInOrder(const std::vector<std::string>& expected) const {
        auto at = view.logLines.begin();
        for (const auto& line : expected) {
            auto found = std::find(at, view.logLines.end(), line);
            ASSERT_NE(found, view.logLines.end()) << "missing in order: " << line;
            at = found + 1;
        }
    }

    // The message boxes shown, their texts in order.
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const auto& call : view.dialogs.calls) texts.push_back(call.text);
        return texts;
    }

    QTemporaryDir tmp;
    engine::PlainJobView view;
    platform::ManualClock clock{10 * 3600};
    engine::EngineUnderTest engine{view, clock};
    std::unique_ptr<platform::Timer> hook;
};
