#include <gtest/gtest.h>

#include "app/cli/JobOutcome.h"

using cli::JobFigures;

namespace {

struct OutcomeCase {
    const char* name;
    JobFigures figures;
    int status;
};

std::ostream& operator<<(std::ostream& os, const OutcomeCase& c) { return os << c.name; }

JobFigures figures(std::size_t saved, std::size_t failed, std::size_t left, bool halted = false) {
    JobFigures f;
    f.saved = saved;
    f.failed = failed;
    f.left = left;
    f.halted = halted;
    return f;
}

JobFigures folderFailed(JobFigures f) {
    f.saveFolderFailed = true;
    return f;
}

class ExitStatus : public ::testing::TestWithParam<OutcomeCase> {};

}  // namespace

TEST_P(ExitStatus, TellsWhatHappened) {
    EXPECT_EQ(cli::exitStatusOf(GetParam().figures), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    JobOutcome, ExitStatus,
    ::testing::Values(OutcomeCase{"AllSaved", figures(5, 0, 0), 0},
                      // A site whose every file the rules turned away saved nothing, but
                      // nothing failed either.
                      OutcomeCase{"NothingWantedNothingFailed", figures(0, 0, 0), 0},
                      OutcomeCase{"StoppedByTheUser", figures(2, 0, 0, true), 1},
                      OutcomeCase{"StoppedWithFilesQueued", figures(2, 0, 7), 1},
                      OutcomeCase{"StoppedAfterFailures", figures(2, 3, 7), 1},
                      OutcomeCase{"QuotaOfNothing", figures(0, 0, 1), 1},
                      OutcomeCase{"SomeFilesFailed", figures(4, 1, 0), 3},
                      OutcomeCase{"StartPageFailed", figures(0, 1, 0), 4},
                      // The save folder failed at the first file and the job ended there.
                      OutcomeCase{"FolderFailedJobEnded", figures(0, 1, 5), 4},
                      // It failed later (made read-only during the copy): the job
                      // ended because nothing more could be saved, not by a stop.
                      OutcomeCase{"FolderFailedAfterSomeFiles", folderFailed(figures(3, 1, 5)), 4}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST(JobOutcome, ByteTextAndRate) {
    EXPECT_EQ(cli::byteText(0), "0 bytes");
    EXPECT_EQ(cli::byteText(1), "1 byte");
    EXPECT_EQ(cli::byteText(1023), "1023 bytes");
    EXPECT_EQ(cli::byteText(3000), "2.9 KB");
    EXPECT_EQ(cli::byteText(std::int64_t{5} * 1024 * 1024 * 1024), "5.0 GB");
    EXPECT_EQ(cli::rateText(3 * 1024 * 1024, 2.0), "1.5 MB/s");
    EXPECT_EQ(cli::rateText(0, 0.0), "0 bytes/s") << "no division by zero";
}

TEST(JobOutcome, EndLineSaysTimeFilesAndRate) {
    JobFigures f = figures(12, 2, 3);
    f.bytes = 4 * 1024 * 1024;
    EXPECT_EQ(cli::endLine(f, 3723.0),
              "Elapsed 1:02:03, 12 files saved, 2 failed, 3 left in the queue, average rate "
              "1.1 KB/s.");
    EXPECT_EQ(cli::endLine(figures(1, 0, 0), 0.4),
              "Elapsed 0:00:00, 1 file saved, 0 failed, 0 left in the queue, average rate 0 "
              "bytes/s.");
}
