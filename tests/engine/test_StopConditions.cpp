// The stop test, the Stop button and closing, and the stall watchdog driven
// directly with a manual clock.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <limits>
#include <optional>
#include <string>

#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "testing/EngineUnderTest.h"
#include "testing/ManualClock.h"
#include "testing/PlainJobView.h"

using namespace engine;

namespace {

class StopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        view.saveDirectory = tmp.path().toStdString() + "/site/";
        engine.iDiskFree = std::int64_t{1} << 40;
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const auto& call : view.dialogs.calls) texts.push_back(call.text);
        return texts;
    }
    QTemporaryDir tmp;
    PlainJobView view;
    platform::ManualClock clock{12 * 3600};
    EngineUnderTest engine{view, clock};
};

TEST_F(StopTest, WebComponentIsConfiguredForTheCrawl) {
    EXPECT_EQ(engine.Web1.UserAgent(), "tectonix' dope fly downloader");
    EXPECT_EQ(engine.Web1.Accept(), "*/*");
    EXPECT_EQ(engine.Web1.ErrorMode(), http::emHandler);
    EXPECT_EQ(engine.Web1.RequestMode(), http::mdStreaming);
    EXPECT_EQ(engine.Web1.StreamMode(), http::smMemory);
    EXPECT_FALSE(engine.Web1.UseProxy());
    EXPECT_TRUE(engine.Timer1.enabled());
    EXPECT_EQ(engine.Timer1.interval(), 1000);
}

TEST_F(StopTest, CredentialsAreAskedOfTheJobView) {
    std::string user, password;
    ASSERT_TRUE(engine.Web1.AuthorizationDialog);
    EXPECT_FALSE(
        engine.Web1.AuthorizationDialog(&engine.Web1, "Vault", "host.test:80", user, password));
    view.credentials = {{"ann", "secret"}};
    EXPECT_TRUE(
        engine.Web1.AuthorizationDialog(&engine.Web1, "Vault", "host.test:80", user, password));
    EXPECT_EQ(user, "ann");
    EXPECT_EQ(password, "secret");
    ASSERT_EQ(view.credentialRequests.size(), 2u);
    EXPECT_EQ(view.credentialRequests[1].realm, "Vault");
    EXPECT_EQ(view.credentialRequests[1].host, "host.test:80");
}

TEST_F(StopTest, WatchdogRestsWhileABoxIsOpenAndTheTransferClockRestarts) {
    engine.iStartTime = 12 * 3600;
    engine.iDataTime.reset();  // no data yet: stays unset
    {
        const auto pause = engine.PauseWatchdog();
        EXPECT_FALSE(engine.Timer1.enabled());
        clock.advance(45);
    }
    EXPECT_TRUE(engine.Timer1.enabled());
    EXPECT_EQ(engine.iStartTime, 12 * 3600 + 45);
    EXPECT_FALSE(engine.iDataTime.has_value());
    // No stall is seen right after the box closed.
    engine.Timer1Timer();
    EXPECT_FALSE(engine.bTimedOut);

    engine.Timer1.setEnabled(false);
    { const auto pause = engine.PauseWatchdog(); }
    EXPECT_FALSE(engine.Timer1.enabled());
}

TEST_F(StopTest, FrontEndSurfaceStopsAddsRulesAndReportsTheResult) {
    EXPECT_FALSE(engine.StopRequested());
    engine.RequestStop();
    EXPECT_TRUE(engine.bStop);
    const std::size_t before = engine.Rules().size();
    engine.AddRule(RuleFromEditor("*.iso", EditorFileKind::Other, SizeLimits::Off, std::nullopt,
                                  std::nullopt));
    ASSERT_EQ(engine.AllowedFilesList.size(), before + 1);
    EXPECT_EQ(engine.AllowedFilesList.back().pattern(), "*.iso");
    engine.SavedList.push_back("/a");
    engine.QueueList.push_back("http://host.test/b");
    engine.QueueList.push_back("http://host.test/c");
    engine.iTotalBytes = 1234;
    engine.iFileBytes = 56;
    engine.bHalted = true;
    const TJobResult result = engine.Result();
    EXPECT_EQ(result.saved, 1u);
    EXPECT_EQ(result.left, 2u);
    EXPECT_EQ(result.bytes, 1234);
    EXPECT_EQ(result.transferBytes, 56);
    EXPECT_TRUE(result.halted);
    EXPECT_FALSE(result.saveFolderFailed);
}

TEST_F(StopTest, QuotaOfOneMegabyteReachedExactly) {
    view.diskQuote = true;
    view.diskQuota = 1;
    engine.iTotalBytes = 1048575;
    EXPECT_FALSE(engine.StopCondition());
    EXPECT_TRUE(view.dialogs.calls.empty());

    engine.iTotalBytes = 1048576;
    view.dialogs.messageAnswers = {platform::DialogResult::Yes};
    EXPECT_FALSE(engine.StopCondition());
    EXPECT_EQ(view.diskQuota, 2);
    ASSERT_EQ(view.dialogs.calls.size(), 1u);
    EXPECT_EQ(view.dialogs.calls[0].kind, platform::DialogKind::Warning);
    EXPECT_EQ(view.dialogs.calls[0].buttons, platform::kButtonYes | platform::kButtonNo);

    view.dialogs.messageAnswers = {platform::DialogResult::No};
    engine.iTotalBytes = 2 * 1048576;
    EXPECT_TRUE(engine.StopCondition());
    EXPECT_FALSE(engine.bHalted);
}

TEST_F(StopTest, QuotaZeroAsksAtTheFirstTest) {
    view.diskQuote = true;
    view.diskQuota = 0;
    view.dialogs.messageAnswers = {platform::DialogResult::No};
    EXPECT_TRUE(engine.StopCondition());
    EXPECT_EQ(view.dialogs.calls.size(), 1u);
}

TEST_F(StopTest, DoublingAHugeQuotaDoesNotOverflow) {
    view.diskQuote = true;
    view.diskQuota = std::numeric_limits<int>::max() / 2 + 10;
    engine.iDiskFree = std::int64_t{1} << 62;
    engine.iTotalBytes = std::int64_t{view.diskQuota} * 1048576;
    view.dialogs.messageAnswers = {platform::DialogResult::Yes};
    EXPECT_FALSE(engine.StopCondition());
    EXPECT_EQ(view.diskQuota, std::numeric_limits<int>::max());
}

TEST_F(StopTest, LowDiskCountsBeyondFourGigabytes) {
    engine.iDiskFree = std::int64_t{6} << 30;
    engine.iTotalBytes = (std::int64_t{6} << 30) - 500001;
    EXPECT_FALSE(engine.StopCondition());
    engine.iTotalBytes += 1;
    EXPECT_TRUE(engine.StopCondition());
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Process Stopped: Low on DiskSpace."});
}

TEST_F(StopTest, AllThreeTestsRunAndEachShowsItsBox) {
    engine.iDiskFree = 0;
    view.diskQuote = true;
    view.diskQuota = 0;
    view.dialogs.messageAnswers = {platform::DialogResult::Ok, platform::DialogResult::Yes};
    engine.btnStopClick();
    EXPECT_TRUE(engine.StopCondition());
    ASSERT_EQ(view.dialogs.calls.size(), 4u);
    EXPECT_EQ(view.dialogs.calls[0].text, "Please wait while the Harvex halts downloading...");
    EXPECT_EQ(view.dialogs.calls[1].text, "Process Stopped: Low on DiskSpace.");
    EXPECT_EQ(view.dialogs.calls[3].text, "Downloads Halted!");
    EXPECT_EQ(view.dialogs.calls[3].kind, platform::DialogKind::Information);
    EXPECT_TRUE(engine.bHalted);
    EXPECT_TRUE(view.progressAnimationStopped);
}

TEST_F(StopTest, ClosingFreesTheJobOnlyOnceHalted) {
    engine.CreateObjectLists();
    EXPECT_FALSE(engine.FormClose());
    EXPECT_TRUE(engine.bStop);
    EXPECT_EQ(engine.QueueList.size(), 1u);
    engine.btnFnlExitClick();
    EXPECT_TRUE(engine.FormClose());
    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_TRUE(engine.AllowedFilesList.empty());
}

TEST_F(StopTest, CancelWithoutATransferAllowsClosingAtOnce) {
    EXPECT_TRUE(engine.CancelJob());
    EXPECT_TRUE(engine.bStop);
}

struct StallCase {
    const char* name;
    std::optional<int> startTime;  // empty: no transfer
    std::optional<int> dataTime;   // empty: no data yet
    int now;
    bool downloadLine;  // "Stalled on Opening Connection" (data came, then silence)
    bool startLine;     // "Stalled on Download" (nothing for 20 s since the start)
};

class WatchdogTable : public StopTest, public ::testing::WithParamInterface<StallCase> {};

TEST_P(WatchdogTable, AbandonsOnlyAfterMoreThanTwentySilentSeconds) {
    const StallCase& c = GetParam();
    engine.iStartTime = c.startTime;
    engine.iDataTime = c.dataTime;
    clock.set(c.now);
    engine.Timer1Timer();
    const std::vector<std::string>& lines = view.logLines;
    auto has = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    };
    EXPECT_EQ(has("*****File Skipped - Stalled on Opening Connection*****"), c.downloadLine);
    EXPECT_EQ(has("*****File Skipped - Stalled on Download*****"), c.startLine);
    EXPECT_EQ(engine.bTimedOut, c.downloadLine || c.startLine);
    if (c.downloadLine) {
        EXPECT_FALSE(engine.iDataTime.has_value());
    }
    if (c.startLine) {
        EXPECT_FALSE(engine.iStartTime.has_value());
    }
    // The watchdog's lines go to the pane only.
    EXPECT_TRUE(engine.statusLog().logFilePath().empty());
}

constexpr std::optional<int> kNone;

INSTANTIATE_TEST_SUITE_P(
    Stalls, WatchdogTable,
    ::testing::Values(StallCase{"Idle", kNone, kNone, 50000, false, false},
                      StallCase{"FreshRequest", 50000, kNone, 50020, false, false},
                      StallCase{"SilentRequest", 50000, kNone, 50021, false, true},
                      StallCase{"DataThenSilence", 50000, 50005, 50026, true, true},
                      StallCase{"DataRecently", 50000, 50010, 50026, false, false},
                      StallCase{"AcrossMidnight", 86395, kNone, 16, false, true},
                      StallCase{"DataAcrossMidnight", 86390, 86399, 20, true, true},
                      StallCase{"JustAfterMidnight", 86395, kNone, 10, false, false},
                      // Second 0 is a time like any other, not "no transfer".
                      StallCase{"StartedAtMidnight", 0, kNone, 21, false, true},
                      StallCase{"StartedAtMidnightStillFresh", 0, kNone, 20, false, false},
                      StallCase{"DataAtMidnight", 86399, 0, 21, true, true},
                      StallCase{"IdleAtMidnight", kNone, kNone, 0, false, false}),
    [](const ::testing::TestParamInfo<StallCase>& info) { return info.param.name; });

}  // namespace
