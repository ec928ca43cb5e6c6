#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "engine/JobView.h"
#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/Timer.h"
#include "tests/hostile/HostileSite.h"
#include "testing/ManualClock.h"

namespace hostile {

// A job view that forwards to a PlainJobView and also keeps every log line
// ever shown, since a log that cannot be written empties the pane.
class RecordingView final : public engine::TJobView {
public:
    engine::PlainJobView plain;
    std::vector<std::string> everyLine;

    std::string StartURL() const override { return plain.StartURL(); }
    std::string SaveDirectory() const override { return plain.SaveDirectory(); }
    void SetSaveDirectory(const std::string& d) override { plain.SetSaveDirectory(d); }
    bool DLoadTextFiles() const override { return plain.DLoadTextFiles(); }
    bool DloadGraphics() const override { return plain.DloadGraphics(); }
    bool DloadEverything() const override { return plain.DloadEverything(); }
    bool OwnFileTypes() const override { return plain.OwnFileTypes(); }
    bool StayinPath() const override { return plain.StayinPath(); }
    bool StayinDomain() const override { return plain.StayinDomain(); }
    bool DiskQuote() const override { return plain.DiskQuote(); }
    int DiskQuota() const override { return plain.DiskQuota(); }
    void SetDiskQuota(int megabytes) override { plain.SetDiskQuota(megabytes); }
    bool DownloadNoSizeFiles() const override { return plain.DownloadNoSizeFiles(); }

    void SetStatusCaption(const std::string& text) override { plain.SetStatusCaption(text); }
    void AppendLogLine(const std::string& line) override {
        everyLine.push_back(line);
        plain.AppendLogLine(line);
    }
    void AppendLogHeading(const std::string& line) override {
        everyLine.push_back(line);
        plain.AppendLogHeading(line);
    }
    void AppendLogLineBoldTail(const std::string& p, const std::string& tail) override {
        everyLine.push_back(p + tail);
        plain.AppendLogLineBoldTail(p, tail);
    }
    void ClearLog() override { plain.ClearLog(); }
    void SetLogReadOnly() override { plain.SetLogReadOnly(); }
    void SetQueuedLabel(const std::string& text) override { plain.SetQueuedLabel(text); }
    void SetTotalSizeLabel(const std::string& text) override { plain.SetTotalSizeLabel(text); }
    void SetProgress(int percent) override { plain.SetProgress(percent); }
    void StopProgressAnimation() override { plain.StopProgressAnimation(); }
    void LoopFinished() override { plain.LoopFinished(); }
    void ShowFinishedControls() override { plain.ShowFinishedControls(); }
    platform::Dialogs& Dialogs() override { return plain.Dialogs(); }
};

// One crawl of a HostileSite by the engine, as the main window runs it: the
// rules of page 3, the free space of page 2, then the whole job in one call.
//
// The engine's watchdog reads a manual clock that moves one second every few
// milliseconds while the site holds a connection silent, so a stall is
// abandoned after the engine's own 20 "seconds" without a real wait. A
// real-time guard ends a crawl that hangs anyway, and the test fails.
class Crawl {
public:
    // The save directory lies two levels below a private folder, so that a
    // file written above it shows up in that folder.
    Crawl();
    ~Crawl();

    HostileSite site;
    RecordingView view;
    platform::ManualClock clock{12 * 3600};
    std::unique_ptr<engine::EngineUnderTest> engine;

    std::string root() const;     // the private folder
    std::string saveDir() const;  // <root>/inside/save/
    std::string url(const std::string& target) const { return site.baseUrl() + target; }

    // A connection the site has ended in a way the HTTP component does not
    // notice (a reset): once the site is done with target while the engine
    // still fetches it, the clock moves as for a stall.
    void silentAfter(const std::string& target) { silentTarget_ = target; }

    // Starts the site and runs the whole job from start. False when the
    // real-time guard had to end it.
    bool run(const std::string& startTarget, int guardMs = 90000);

    // Files below root() that are not below the save directory.
    std::vector<std::string> filesOutsideSaveDir() const;
    // Every log line that is exactly phrase, a blank and text.
    bool logged(const std::string& phrase, const std::string& text) const;
    bool loggedAnywhere(const std::string& fragment) const;
    bool inList(const engine::TUrlList& list, const std::string& url) const;

private:
    QTemporaryDir root_;
    platform::Timer clockDriver_;
    platform::Timer guard_;
    bool guardFired_ = false;
    std::string silentTarget_;
};

}  // namespace hostile
