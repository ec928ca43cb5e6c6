#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/JobView.h"
#include "testing/ScriptedDialogs.h"

namespace engine {

// The job view without windows: settings are plain fields (defaults as the wizard
// starts), and everything the engine shows is recorded for inspection. Used by
// tests and benchmarks; the programs never link it.
class PlainJobView final : public TJobView {
public:
    // Settings, as the wizard's controls hold them initially.
    std::string startURL = "http://";
    std::string saveDirectory;
    bool dloadTextFiles = true;
    bool dloadGraphics = true;
    bool dloadEverything = false;
    bool ownFileTypes = false;
    bool stayinPath = true;
    bool stayinDomain = true;
    bool diskQuote = false;
    int diskQuota = 0;
    bool downloadNoSizeFiles = true;
    bool offlineCopy = false;

    // What the status page shows.
    std::string statusCaption = "File Status:";
    std::vector<std::string> logLines;
    std::vector<std::string> headingLines;  // the lines of logLines that were headings
    std::vector<std::string> boldTails;     // emphasised tails, in order
    int logClears = 0;
    bool logReadOnly = false;
    std::string queuedLabel = "Queued Files: 0";
    std::string totalSizeLabel = "Total Size of Files Downloaded: 0";
    int progress = 0;
    int progressUpdates = 0;
    bool progressAnimationStopped = false;
    int loopFinishedCalls = 0;
    bool finishedControlsShown = false;

    platform::ScriptedDialogs dialogs;

    // Credentials: every request is recorded; answered while an answer is set.
    struct CredentialRequest {
        std::string realm;
        std::string host;
    };
    std::vector<CredentialRequest> credentialRequests;
    std::optional<std::pair<std::string, std::string>> credentials;  // user, password

    std::string StartURL() const override { return startURL; }
    std::string SaveDirectory() const override { return saveDirectory; }
    void SetSaveDirectory(const std::string& directory) override { saveDirectory = directory; }
    bool DLoadTextFiles() const override { return dloadTextFiles; }
    bool DloadGraphics() const override { return dloadGraphics; }
    bool DloadEverything() const override { return dloadEverything; }
    bool OwnFileTypes() const override { return ownFileTypes; }
    bool StayinPath() const override { return stayinPath; }
    bool StayinDomain() const override { return stayinDomain; }
    bool DiskQuote() const override { return diskQuote; }
    int DiskQuota() const override { return diskQuota; }
    void SetDiskQuota(int megabytes) override { diskQuota = megabytes; }
    bool DownloadNoSizeFiles() const override { return downloadNoSizeFiles; }
    bool OfflineCopy() const override { return offlineCopy; }

    void SetStatusCaption(const std::string& text) override { statusCaption = text; }
    void AppendLogLine(const std::string& line) override;
    void AppendLogHeading(const std::string& line) override;
    void AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) override;
    void ClearLog() override;
    void SetLogReadOnly() override { logReadOnly = true; }
    void SetQueuedLabel(const std::string& text) override { queuedLabel = text; }
    void SetTotalSizeLabel(const std::string& text) override { totalSizeLabel = text; }
    void SetProgress(int percent) override;
    void StopProgressAnimation() override { progressAnimationStopped = true; }
    void LoopFinished() override;
    void ShowFinishedControls() override { finishedControlsShown = true; }
    platform::Dialogs& Dialogs() override { return dialogs; }
    bool AskCredentials(const std::string& realm, const std::string& host, std::string& user,
                        std::string& password) override;
    // Recorded, then answered by the scripted dialogs as the desktop's box.
    bool AcceptCertificate(const std::string& host, const std::string& reason) override;
    std::vector<std::pair<std::string, std::string>> certificateQuestions;  // host, reason

    // The pane's text as "downloads.log" holds it: every line followed by CR LF.
    std::string logText() const;
};

}  // namespace engine
