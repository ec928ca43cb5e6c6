#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/AllowedFiles.h"
#include "engine/KnownFolders.h"
#include "engine/SavedFiles.h"
#include "engine/SavedSizes.h"
#include "engine/StatusLog.h"
#include "engine/UrlList.h"
#include "http/Web.h"
#include "http/Webproxy.h"
#include "platform/PartialFile.h"
#include "platform/Timer.h"

namespace platform {
class Clock;
}

namespace engine {

class TJobView;

// What a finished (or stopped) job leaves for its front end to report.
struct TJobResult {
    std::size_t saved = 0;           // files saved
    std::size_t left = 0;            // URLs still queued
    std::int64_t bytes = 0;          // bytes saved, as measured on disk
    std::int64_t transferBytes = 0;  // bytes of the last transfer
    bool halted = false;             // ended by quota, low disk space or the user
    bool saveFolderFailed = false;   // the save directory could not be written
};

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

    // --- What front ends use ---

    // Appends a rule after those the file-type page made.
    void AddRule(TAllowedFiles rule) { AllowedFilesList.push_back(std::move(rule)); }
    // The rule table and its changed flag, as the rule editor edits them.
    TAllowedFilesList& Rules() { return AllowedFilesList; }
    const TAllowedFilesList& Rules() const { return AllowedFilesList; }
    bool& RulesChanged() { return bRuleChanged; }
    // The pattern list that seeds the text rules and decides FileType.
    const std::string& TextTypes() const { return sTextTypes; }
    // Free space measured when page 2 was left; -1 when unknown.
    std::int64_t DiskFree() const { return iDiskFree; }
    // The job ends at its next stop test (a user stop without the box).
    void RequestStop() { bStop = true; }
    bool StopRequested() const { return bStop; }
    TJobResult Result() const;
    // The proxies the front end found in its environment (the engine reads
    // none itself): http:// requests go through the http proxy and https://
    // ones through the https proxy's CONNECT tunnel, unless no_proxy takes
    // their host. Until called, every request goes straight to its server.
    void UseProxies(const http::EnvironmentProxies& proxies);
    // The TLS configuration of "https://" fetches (a CA file instead of the
    // system store, or no check). Until called: the system store, checked.
    void UseTls(std::shared_ptr<platform::TlsContext> context);

    // Wizard page 3 left with Next: the table is rebuilt from the check boxes,
    // dropping any edits made on page 4.
    void BuildRulesFromPage3();
    // Free space of the save directory's file system, measured when page 2 is
    // left. False (and iDiskFree -1) when it cannot be read.
    bool MeasureDiskFree();
    // Creates the lists, queues the start URL and runs the whole job.
    void SetUpObjectLists();
    // The Stop button: the box, then bStop. The running fetch goes on.
    void btnStopClick();
    // The wizard's Cancel: bStop. True when no transfer runs, so the window
    // may close at once.
    bool CancelJob();
    // The main window closes: bStop. True (and the job's tables freed) when the
    // engine has halted and nothing is being retrieved.
    bool FormClose();
    // The Exit button: the job is over.
    void btnFnlExitClick() { bHalted = true; }
    // For a front end that ends the program during a transfer (a second
    // Ctrl-C): cancels the transfer and removes its temporary file, so that
    // nothing but the earlier copy remains under the file's name.
    void DiscardPartialFile();
    // A reason line follows the status line of its failed fetch, indented by
    // this much (front ends tell reason lines by it).
    static constexpr std::string_view kReasonIndent = "    ";

    // While a front end's box is open the stall watchdog rests, and the time
    // spent in the box does not count against the transfer.
    class [[nodiscard]] WatchdogPause {
    public:
        explicit WatchdogPause(THvxEngine& engine);
        ~WatchdogPause();
        WatchdogPause(const WatchdogPause&) = delete;
        WatchdogPause& operator=(const WatchdogPause&) = delete;

    private:
        THvxEngine& engine_;
        bool watching_;
    };
    WatchdogPause PauseWatchdog() { return WatchdogPause(*this); }

private:
    friend class EngineUnderTest;  // tests reach the job state (testing/)

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
    // Seconds since midnight; empty while no transfer runs (or no data came).
    // Midnight itself is 0, a time like any other.
    std::optional<int> iStartTime;
    std::optional<int> iDataTime;
    bool bRuleChanged = false;

    // --- The engine's own steps (tests reach them through EngineUnderTest) ---

    // --- Rules ---

    void ClearAllowedFilesList();
    void AddRulesFromList(std::string_view list, std::uint8_t kind);
    // Shows one rule in an information box (a diagnostic; the job never calls it).
    void PrintAllowedFileElement(const TAllowedFiles& rule);

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

    // --- Fetching (FetchPrimitives.cpp) ---

    // The proxy list Web1 consults once UseProxies gave it one; declared
    // first so that Web1 leaves it before it goes.
    http::TWebProxy proxyList_;
    // The HTTP component every fetch drives, configured once by the constructor.
    http::TWeb Web1;
    // The stall watchdog: ticks every second while enabled and calls Timer1Timer.
    platform::Timer Timer1;

    // A page held in memory larger than this fails like any other download.
    static constexpr std::int64_t kMaxPageBytes = std::int64_t{64} * 1024 * 1024;
    static constexpr const char* kUserAgent = "tectonix' dope fly downloader";

    // Each fetch starts a retrieval and pumps events until it has ended. None
    // raises. True when the response's status text holds "200" (and, for a
    // body, every advertised byte arrived).
    bool DownloadHeader(const std::string& url);
    bool DownloadText(const std::string& url);
    bool DloadOtherFile(const std::string& url, const std::string& localPath);
    // True while a fetch waits for its transfer; no second fetch starts then.
    bool Fetching() const { return fetching_; }

    // Why the last fetch failed when a connection or a lookup failed ("[10061]
    // Connection refused", "[11001] Host not found"); empty otherwise.
    const std::string& FetchFailureReason() const { return failureReason_; }
    // A server's certificate was rejected: the front end is asked once per
    // host (TJobView::AcceptCertificate) and its answer kept for the job.
    bool AcceptCertificate(const std::string& host, const std::string& reason);
    // A box the user must answer is not a stall: the running transfer's
    // watchdog times start again now (times not set stay unset).
    void RestartStallClock();

    void Web1DataAvailable(http::TWeb* sender, const char* buffer, int length);
    void Web1Disconnect(http::TWeb* sender);
    void Web1TimeOut(http::TWeb* sender);

    // --- Local layout and saving (SavingFiles.cpp) ---

    // The local directory of a URL under the current save directory.
    std::string LocalDirOf(std::string_view url) const;
    // Writes the page buffer to the URL's local path; counts and lists it.
    bool SaveFile(const std::string& url);
    // Where the file of a URL is written: its local directory with "." and ".."
    // segments and repeated "/" resolved, and its file name, which a site file
    // named like the status log at the top of the save directory does not keep.
    std::string LocalPathOf(const std::string& url) const;
    // The same path as status lines show it, built from the URL's own text.
    std::string ShownLocalPathOf(const std::string& url) const;
    // After "Saved" for another file: a "File saved to" line when it was saved
    // under a name other than its own.
    void ReportRenamedFile(const std::string& url);
    // The URL as the local layout reads it: in an offline copy with its
    // percent-escapes decoded, so that the names on disk are those a browser
    // looks for when it opens a file: URL.
    std::string LayoutURL(std::string_view url) const;

    // Job start: removes the temporary files a crashed run left below the save
    // directory.
    void PrepareSaveFolder();
    // After a save failed: when the save directory itself cannot be created or
    // written, the job ends at its next stop test.
    void CheckSaveFolder();
    bool SaveFolderFailed() const { return saveFolderError_ != 0; }
    // "Cannot write to the save folder <folder>: <reason>", or empty.
    std::string SaveFolderFailure() const;

    // --- Stop conditions, watchdog and summary (StopConditions.cpp) ---

    static constexpr int kStallSeconds = 20;
    static constexpr std::int64_t kDiskReserveBytes = 500000;

    // Before each URL: low disk, quota (with its offer to go on), user stop.
    // True: the loop ends.
    bool StopCondition();
    void Timer1Timer();
    void EndStatus();

    // --- Nameless URLs and redirects (NamelessURLs.cpp) ---

    static constexpr int kMaxRedirects = 20;
    // A header answered by 300, 301 or 302: the target is queued.
    void RedirectURL(const std::string& url);
    // Where the last response sends url: its Location, without a fragment,
    // standardised and resolved against url (url itself when there is none).
    std::string RedirectTarget(const std::string& url) const;
    // True when the last response was a redirect to url's own address under
    // the other scheme ("http://" to "https://" or back).
    bool AnsweredWithSchemeMove(const std::string& url) const;
    // Finds the default document of a directory URL (or asks for a name);
    // url may become the named URL.
    void DealwithNoFile(std::string& url);

    // --- Fetching once ---

    // True when the URL is queued, done or failed already: nothing brings it
    // back for a second fetch.
    bool IsQueuedOrDone(std::string_view url) const;
    // Counts a file written to path: a path saved before (two URLs with one
    // local copy) is counted once, at its latest size.
    // size: the bytes just written there (known to the caller, so the file
    // is not looked at again).
    void RecordSavedFile(const std::string& path, std::int64_t size);

    // --- The loop (DownloadLoop.cpp) ---

    // Works the queue, last in first out, until it is empty or a stop test holds.
    void ProcessFiles(const std::string& url = {});
    void DownloadTextFile(const std::string& url);
    void DownloadOtherFile(const std::string& url);

    // --- Offline copies (OfflineCopy.cpp) ---

    // Every file saved (URL -> local path) and the redirects met on the way.
    TSavedFiles SavedFiles;
    // In an offline copy, queues what a page (or a stylesheet) needs to display
    // from the start host, whatever the kind rules and the start path say.
    void QueueRequisites(const std::string& url, std::string_view text, TSavedKind kind);
    // True when an offline copy queued the URL as a requisite: it is saved
    // whatever the rules say.
    bool IsRequisite(std::string_view url) const;
    // True when the URL was linked as a stylesheet or is named like one.
    bool IsStylesheet(std::string_view url) const;
    void RecordSavedURL(const std::string& url, const std::string& path);
    // A redirect or a default document: a requisite's new address stays one,
    // and links to the old address find the new one's file.
    void RecordNewAddress(const std::string& from, const std::string& to);
    // A stylesheet fetched into its file: its links are queued.
    void ScanSavedStylesheet(const std::string& url, const std::string& path);
    // After the last file: the links of every saved page and stylesheet are
    // converted, with one status line per file.
    void ConvertSavedLinks();

    // --- Link extraction ---

    // Fills TagList from the page buffer; moves the progress bar.
    void GetSrcURLs();
    // Queues the links of TagList, resolved against pageURL or a base tag.
    bool ProcessURLs(const std::string& pageURL);

    // --- Status ---

    // sStatus, a blank and text: the status line, a pane line and the log file.
    void UpDateStatus(const std::string& text);
    // The status line of a failed fetch (sStatus, a blank and text), followed
    // by the fetch's failure reason, indented, when it has one. Both reach the
    // log file together.
    void UpDateFailedFetch(const std::string& text);
    // A pane line that is not a status line (the watchdog's).
    void AddLogLine(const std::string& line);
    // Seconds since local midnight, 0..86399.
    int ReturnTime() const;

    enum class FetchKind { Header, Text, File };
    bool fetch(FetchKind kind, const std::string& url, const std::string& localPath);
    // No transfer watched, nothing timed out.
    void clearWatchdog();
    void configureWeb();
    // Position of the URL being handled: the last queue entry when it is that
    // URL, else the first entry equal to it.
    long queuePosition(std::string_view url) const;
    // A requisite is queued when it is on the start host and new.
    bool RequisiteConfirm(std::string_view url) const;

    TJobView& view_;
    platform::Clock& clock_;
    TStatusLog statusLog_;
    std::function<std::int64_t()> contentLength_;

    bool fetching_ = false;                              // a fetch is waiting for its transfer
    bool running_ = false;                               // the loop is running
    bool pageTooLarge_ = false;                          // the current page outgrew kMaxPageBytes
    std::int64_t bodyBytes_ = 0;                         // body bytes of the current transfer
    std::unordered_map<std::string, int> redirectHops_;  // queued target -> hops so far
    std::string failureReason_;                          // why the last fetch failed, or empty
    std::map<std::string, bool> certificateAnswers_;     // host: the user's answer
    TSavedSizes savedSizes_;                             // bytes counted for each path of SavedList
    TKnownFolders knownFolders_;  // folders under the save folder seen to exist

    std::unique_ptr<platform::PartialFile> partialFile_;  // the running file transfer's
    std::unordered_set<std::string> requisites_;          // keys (SavedFileKey) of requisites
    std::unordered_set<std::string> stylesheets_;         // keys linked as stylesheets
    int saveFolderError_ = 0;                             // errno: save directory unwritable
};

}  // namespace engine
