#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/AllowedFiles.h"
#include "engine/StatusLog.h"
#include "engine/UrlList.h"

namespace platform {
class Clock;
}

namespace engine {

class TJobView;

// The engine half of the main window: the download job (rule table, URL lists,
// counters and flags) and the engine operations on it. The main window owns one
// and hands it the job view it implements; the engine reads the settings and
// writes the status page only through that view.
class THvxEngine {
public:
    explicit THvxEngine(TJobView& view);
    THvxEngine(TJobView& view, platform::Clock& clock);
    THvxEngine(const THvxEngine&) = delete;
    THvxEngine& operator=(const THvxEngine&) = delete;

    TJobView& view() { return view_; }
    TStatusLog& statusLog() { return statusLog_; }

    // --- The job ---

    // Pattern lists seeding the rules; the text list also decides FileType.
    std::string sTextTypes{kDefaultTextTypes};
    std::string sGraphicTypes{kDefaultGraphicTypes};
    TAllowedFilesList AllowedFilesList;

    TUrlList QueueList;      // still to be handled; the loop takes the last entry
    TUrlList ProcessedList;  // handled, redirected or resolved
    TUrlList TagList;        // tags of the page being analysed
    TUrlList ErrorList;      // failed, timed out, not saved, not resolvable
    TUrlList SavedList;      // local paths of the saved files

    // The page buffer: the text of the page just fetched.
    std::string MemoDownload;

    int iQueued = 0;
    std::int64_t iFileBytes = 0;   // bytes of the current transfer
    std::int64_t iTotalBytes = 0;  // bytes saved so far, as measured on disk
    std::int64_t iDiskFree = 0;    // free space when page 2 was left; -1 = invalid
    std::string sStatus;           // the phrase of the next status line
    bool bStop = false;
    bool bHalted = false;
    bool bTimedOut = false;
    int iStartTime = 0;  // seconds since midnight; 0 = none
    int iDataTime = 0;   // seconds since midnight; 0 = none
    bool bRuleChanged = false;

    // --- Rules ---

    void ClearAllowedFilesList();
    void AddRulesFromList(std::string_view list, std::uint8_t kind);
    // Wizard page 3 left with Next: the table is rebuilt from the check boxes,
    // dropping any edits made on page 4.
    void BuildRulesFromPage3();
    // Shows one rule in an information box (a diagnostic; the job never calls it).
    void PrintAllowedFileElement(const TAllowedFiles& rule);

    // Free space of the save directory's file system, measured when page 2 is
    // left. False (and iDiskFree -1) when it cannot be read.
    bool MeasureDiskFree();

    // --- Lists ---

    // The lists are emptied and the standardised start URL is queued.
    void CreateObjectLists();
    // Moves the QueueList entry at position to ProcessedList (ErrorList); a
    // negative position changes nothing.
    void MoveURL(long position);
    void MoveURLtoErrorList(long position);
    // "Queued Files: " and iQueued on the label.
    void ShowQueuedCount();

    // --- URL tests ---

    // True: a text file, fetched whole and scanned for links.
    bool FileType(std::string_view url) const;
    // True: the absolute link is in scope, allowed and new.
    bool URLConfirm(std::string_view url) const;
    // 0 no rule matches, 2 outside the matching rule's bounds, 4 may be saved.
    int ConfirmFileSave(std::string_view url) const;

    // The content length of the HTTP component's most recent response; 0 when
    // unknown. The fetch primitives wire it to the component.
    void SetContentLengthSource(std::function<std::int64_t()> source) {
        contentLength_ = std::move(source);
    }
    std::int64_t CurrentContentLength() const { return contentLength_ ? contentLength_() : 0; }

    // --- Link extraction ---

    // Fills TagList from the page buffer; moves the progress bar.
    void GetSrcURLs();
    // Queues the links of TagList, resolved against pageURL or a base tag.
    bool ProcessURLs(const std::string& pageURL);

    // --- Status ---

    // sStatus, a blank and text: the status line, a pane line and the log file.
    void UpDateStatus(const std::string& text);
    // A pane line that is not a status line (the watchdog's).
    void AddLogLine(const std::string& line);
    // Seconds since local midnight, 0..86399.
    int ReturnTime() const;

private:
    TJobView& view_;
    platform::Clock& clock_;
    TStatusLog statusLog_;
    std::function<std::int64_t()> contentLength_;
};

}  // namespace engine
