// The stop test between files, the Stop button, Cancel and closing, the stall
// watchdog and the summary.
#include <limits>

#include "engine/JobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

namespace engine {

namespace {

constexpr const char* kCaption = "Harvex";
constexpr std::int64_t kBytesPerMegabyte = 1048576;

// Seconds from then to now on a clock that wraps at midnight: a transfer that
// stalls across midnight is still seen as stalled.
int secondsSince(int then, int now) {
    return ((now - then) % platform::kSecondsPerDay + platform::kSecondsPerDay) %
           platform::kSecondsPerDay;
}

}  // namespace

bool THvxEngine::StopCondition() {
    bool stop = false;
    platform::Dialogs& dialogs = view_.Dialogs();

    // Every later file would fail the same way; the summary tells why.
    if (SaveFolderFailed()) return true;

    if (iTotalBytes >= iDiskFree - kDiskReserveBytes) {
        dialogs.messageBox(kCaption, "Process Stopped: Low on DiskSpace.",
                           platform::DialogKind::Error, platform::kButtonOk);
        stop = true;
    }

    if (view_.DiskQuote()) {
        const int quota = view_.DiskQuota();
        if (iTotalBytes >= std::int64_t{quota} * kBytesPerMegabyte) {
            const std::string q = std::to_string(quota);
            const std::string text =
                "Process Stopped at users request: " + q +
                " megabytes of information downloaded\n There are still files to be downloaded. "
                "Do you want to download another " +
                q + " megabytes of files?";
            const platform::DialogResult answer =
                dialogs.messageBox(kCaption, text, platform::DialogKind::Warning,
                                   platform::kButtonYes | platform::kButtonNo);
            if (answer == platform::DialogResult::Yes) {
                const std::int64_t doubled = std::int64_t{quota} * 2;
                view_.SetDiskQuota(doubled > std::numeric_limits<int>::max()
                                       ? std::numeric_limits<int>::max()
                                       : static_cast<int>(doubled));
            } else {
                stop = true;
            }
        }
    }

    if (bStop) {
        stop = true;
        view_.StopProgressAnimation();
        dialogs.messageBox(kCaption, "Downloads Halted!", platform::DialogKind::Information,
                           platform::kButtonOk);
        bHalted = true;
    }
    return stop;
}

void THvxEngine::btnStopClick() {
    view_.Dialogs().messageBox(kCaption, "Please wait while the Harvex halts downloading...",
                               platform::DialogKind::Information, platform::kButtonOk);
    bStop = true;
}

bool THvxEngine::CancelJob() {
    bStop = true;
    return !fetching_ && !Web1.Retrieving();
}

bool THvxEngine::FormClose() {
    bStop = true;
    if (!bHalted || Web1.Retrieving() || fetching_) return false;
    ClearAllowedFilesList();
    QueueList.clear();
    ProcessedList.clear();
    TagList.clear();
    ErrorList.clear();
    SavedList.clear();
    return true;
}

void THvxEngine::Timer1Timer() {
    const int now = ReturnTime();
    // An unset time means no transfer (or no data yet); a transfer that began
    // at midnight has the time 0 and is watched like any other.
    if (iDataTime && secondsSince(*iDataTime, now) > kStallSeconds) {
        iDataTime.reset();
        AddLogLine("*****File Skipped - Stalled on Opening Connection*****");
        bTimedOut = true;
        Web1.Cancel();
    }
    if (iStartTime && !iDataTime && secondsSince(*iStartTime, now) > kStallSeconds) {
        iStartTime.reset();
        AddLogLine("*****File Skipped - Stalled on Download*****");
        bTimedOut = true;
        Web1.Cancel();
    }
}

void THvxEngine::EndStatus() {
    view_.ShowFinishedControls();
    if (SaveFolderFailed()) {
        view_.Dialogs().messageBox(kCaption, SaveFolderFailure() + ".", platform::DialogKind::Error,
                                   platform::kButtonOk);
    }
    statusLog_.AddLine("");
    statusLog_.AddHeading("Download Summary:");
    statusLog_.AddLine("");
    statusLog_.AddLine("Total Files Downloaded: " + std::to_string(SavedList.size()));
    statusLog_.AddLine("Total Size of Downloaded Files: " + std::to_string(iTotalBytes) +
                       " bytes.");
    if (SaveFolderFailed()) {
        // The summary must not claim the files are there: it names the folder
        // and the reason instead.
        statusLog_.AddLine(SaveFolderFailure());
    } else {
        statusLog_.AddLineBoldTail("All downloaded files are stored in or under ",
                                   view_.SaveDirectory());
    }
    statusLog_.AddLine("");
    view_.SetLogReadOnly();
}

}  // namespace engine
