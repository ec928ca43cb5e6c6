#pragma once

#include <string>

namespace platform {
class Dialogs;
}

namespace engine {

// Everything the engine reads from the wizard and writes to the status page goes
// through this one interface. The main window implements it with its controls and
// reads them live at each call (the job settings are the control values; there is
// no copy). Tests implement it with plain values (PlainJobView).
//
// Texts are byte strings; only the widgets decode them for display.
class TJobView {
public:
    virtual ~TJobView() = default;

    // --- Job settings (wizard pages 2, 3 and 5), read at each use ---

    // txtStartURL, exactly as typed.
    virtual std::string StartURL() const = 0;
    // txtSaveDirectory. The status update appends a trailing "/" through
    // SetSaveDirectory when the text lacks one.
    virtual std::string SaveDirectory() const = 0;
    virtual void SetSaveDirectory(const std::string& directory) = 0;
    // optDLoadTextFiles, optDloadGraphics, optDloadEverything.
    virtual bool DLoadTextFiles() const = 0;
    virtual bool DloadGraphics() const = 0;
    virtual bool DloadEverything() const = 0;
    // rBtnYes: the user defines their own file types (page 4 is shown).
    virtual bool OwnFileTypes() const = 0;
    // optStayinPath, optStayinDomain.
    virtual bool StayinPath() const = 0;
    virtual bool StayinDomain() const = 0;
    // optDiskQuote and spnDiskQuota (megabytes). The engine doubles the quota in
    // the control itself when the user agrees to go on.
    virtual bool DiskQuote() const = 0;
    virtual int DiskQuota() const = 0;
    virtual void SetDiskQuota(int megabytes) = 0;
    // optDownloadNoSizeFiles.
    virtual bool DownloadNoSizeFiles() const = 0;
    // The copy is made to work offline: what pages need to display is fetched
    // whatever the kind rules say, local names are the decoded URL names, and
    // the links of saved pages and stylesheets are converted at the end. Off
    // unless a front end offers the option.
    virtual bool OfflineCopy() const { return false; }

    // --- Status page (wizard page 6) ---

    // txtStatus.
    virtual void SetStatusCaption(const std::string& text) = 0;
    // RichEdit1, plain text. Each call adds exactly one line; the engine never
    // passes a line break inside the text. The engine keeps the pane's text
    // (packed, to write "downloads.log" again whole when someone else changed
    // it), so the pane must change only through these calls.
    virtual void AppendLogLine(const std::string& line) = 0;
    // The summary heading: shown bold in navy blue.
    virtual void AppendLogHeading(const std::string& line) = 0;
    // A line whose tail is emphasised (the save directory of the summary):
    // plain text followed by boldTail shown bold.
    virtual void AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) = 0;
    virtual void ClearLog() = 0;
    // After the summary the pane becomes read-only.
    virtual void SetLogReadOnly() = 0;
    // lblFilestoProcess ("Queued Files: " and the number).
    virtual void SetQueuedLabel(const std::string& text) = 0;
    // lblTotalDownloadSize.
    virtual void SetTotalSizeLabel(const std::string& text) = 0;
    // ProgressBar1, 0..100.
    virtual void SetProgress(int percent) = 0;

    // The progress animation stops (a user stop was acknowledged).
    virtual void StopProgressAnimation() = 0;
    // The fetch loop has ended: the progress animation stops and is hidden, the
    // e-mail animation is shown and started.
    virtual void LoopFinished() = 0;
    // The job is over: Stop and every wizard button disabled, Exit shown.
    virtual void ShowFinishedControls() = 0;

    // The boxes the engine shows (quota, low disk, halted, nameless file).
    virtual platform::Dialogs& Dialogs() = 0;

    // A server asks for a password: the user name and password for the realm
    // on host, or false when the user declines (the fetch then ends as if
    // refused). A front end that shows a box pauses the engine's watchdog
    // meanwhile (THvxEngine::PauseWatchdog). Without credentials: false.
    virtual bool AskCredentials(const std::string& realm, const std::string& host,
                                std::string& user, std::string& password) {
        (void)realm, (void)host, (void)user, (void)password;
        return false;
    }

    // A server's certificate failed the check (reason in plain words, e.g.
    // "certificate has expired"): true to fetch from host all the same. Asked
    // once per host and job; a box pauses the watchdog like the one above.
    // Without an answer: false.
    virtual bool AcceptCertificate(const std::string& host, const std::string& reason) {
        (void)host, (void)reason;
        return false;
    }
};

}  // namespace engine
