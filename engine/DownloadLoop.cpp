// The download loop and its two per-file strategies.
#include "engine/JobView.h"
#include "engine/LocalLayout.h"
#include "engine/ParseURLFns.h"
#include "engine/WebURL.h"
#include "engine/wsmain.h"
#include "platform/FileSystem.h"

namespace engine {

void THvxEngine::SetUpObjectLists() {
    // Finish can reach here only once; a second call while the loop runs
    // would start a second crawl inside the first one's wait.
    if (running_) return;
    running_ = true;
    redirectHops_.clear();
    savedSizes_.clear();
    SavedFiles = TSavedFiles();
    requisites_.clear();
    stylesheets_.clear();
    PrepareSaveFolder();
    Timer1.setEnabled(true);
    CreateObjectLists();
    ProcessFiles();
    running_ = false;
}

void THvxEngine::ProcessFiles(const std::string&) {
    while (!QueueList.empty() && !StopCondition()) {
        view_.SetProgress(0);
        iFileBytes = 0;
        const std::string url = QueueList.back();
        sStatus = "Preparing to process";
        UpDateStatus(url);
        if (!IsWebURL(url)) {
            MoveURLtoErrorList(queuePosition(url));
            sStatus = "Warning: Could not Download Header";
            UpDateStatus(url);
        } else if (FileType(url)) {
            DownloadTextFile(url);
        } else {
            DownloadOtherFile(url);
        }
    }
    // Also after a stop: what was saved is made readable from disk.
    if (view_.OfflineCopy()) ConvertSavedLinks();
    sStatus = "Finished Downloading.";
    UpDateStatus("");
    view_.SetQueuedLabel("Queued Files: 0");
    view_.SetProgress(0);
    view_.LoopFinished();
    EndStatus();
    Timer1.setEnabled(false);
}

void THvxEngine::DownloadTextFile(const std::string& url) {
    if (!DownloadText(url)) {
        if (AnsweredWithSchemeMove(url)) {
            // The page is at its own address under the other scheme (a site
            // moved to "https://" answers every old link so): it is followed
            // as a redirected header is, so the move takes the whole site
            // along and not only its start page. Other redirects of a page
            // still fail it.
            MemoDownload.clear();
            RedirectURL(url);
            return;
        }
        MoveURLtoErrorList(queuePosition(url));
        MemoDownload.clear();
        sStatus = "Error: Could not Download";
        UpDateFailedFetch(url);
        return;
    }
    // Stopped while the page arrived: it stays queued and the loop ends at
    // its stop test.
    if (bStop) return;

    sStatus = "Analysing";
    UpDateStatus(url);
    GetSrcURLs();
    ProcessURLs(url);
    QueueRequisites(url, MemoDownload,
                    IsStylesheet(url) ? TSavedKind::Stylesheet : TSavedKind::File);

    const long position = queuePosition(url);
    if (ConfirmFileSave(url) != kMaySave && !IsRequisite(url)) {
        MoveURLtoErrorList(position);
        sStatus = "File Processed but not saved.";
    } else if (SaveFile(url)) {
        MoveURL(position);
        sStatus = "Saved";
    } else {
        MoveURLtoErrorList(position);
        sStatus = "Error: Could not Save File";
    }
    UpDateStatus(url);
}

void THvxEngine::DownloadOtherFile(const std::string& url) {
    const std::string fileName = SplitURL(url).fileName;

    if (DownloadHeader(url)) {
        if (fileName.empty()) {
            sStatus = "Warning: No File Specified";
            UpDateStatus(url);
            std::string current = url;
            DealwithNoFile(current);
            return;
        }
        if (ConfirmFileSave(url) == kMaySave || IsRequisite(url)) {
            const std::string saveDirectory = platform::fs::expandHome(view_.SaveDirectory());
            const std::string directory = NormalisePath(LocalDirOf(url));
            const std::string path = LocalPathOf(url);
            if (!IsInsideDirectory(saveDirectory, path)) {
                // Its local path would leave the save directory: the body is
                // never asked for.
                sStatus = "Error: Couldn't download";
                UpDateStatus(url);
                MoveURLtoErrorList(queuePosition(url));
                return;
            }
            const auto folderFails = [&] {
                sStatus = "Couldn't Create Directory:";
                UpDateStatus(directory);
                MoveURLtoErrorList(queuePosition(url));
                CheckSaveFolder();
            };
            // A folder this job made or found is not looked at again.
            if (!knownFolders_.ensure(directory)) {
                folderFails();
                return;
            }
            bool saved = DloadOtherFile(url, path);
            if (!saved && knownFolders_.forget(directory) &&
                !platform::fs::directoryExists(directory)) {
                // Taken on trust, but someone removed it meanwhile: the file
                // could not be made there. The folder is made again, as for
                // a new one, and the file fetched into it.
                if (!knownFolders_.ensure(directory)) {
                    folderFails();
                    return;
                }
                saved = DloadOtherFile(url, path);
            }
            if (saved) {
                MoveURL(queuePosition(url));
                sStatus = "Saved";
                UpDateStatus(url);
                ReportRenamedFile(url);
                RecordSavedFile(path, bodyBytes_);  // the whole body, as checked
                RecordSavedURL(url, path);
                ScanSavedStylesheet(url, path);
            } else {
                sStatus = "Error: Couldn't download";
                UpDateFailedFetch(url);
                MoveURLtoErrorList(queuePosition(url));
            }
            return;
        }
        MoveURLtoErrorList(queuePosition(url));
        sStatus = "Header Downloaded but doesn't fit allowed specs";
        UpDateStatus(url);
        return;
    }

    const std::string& status = Web1.StatusText();
    if (status.find("300") != std::string::npos || status.find("301") != std::string::npos ||
        status.find("302") != std::string::npos) {
        RedirectURL(url);
        return;
    }
    MoveURLtoErrorList(queuePosition(url));
    sStatus = "Warning: Could not Download Header";
    UpDateFailedFetch(url);
}

bool THvxEngine::IsQueuedOrDone(std::string_view url) const {
    return QueueList.contains(url) || ProcessedList.contains(url) || ErrorList.contains(url);
}

void THvxEngine::RecordSavedFile(const std::string& path, std::int64_t size) {
    // The lists were emptied for a new job: no earlier copy counts any more.
    if (SavedList.empty()) savedSizes_.clear();
    if (std::int64_t* counted = savedSizes_.find(SavedList, path)) {
        // The same local copy written again: it is still one file, of its new size.
        iTotalBytes += size - *counted;
        *counted = size;
        return;
    }
    iTotalBytes += size;
    SavedList.push_back(path);
    savedSizes_.add(SavedList, SavedList.size() - 1, size);
}

}  // namespace engine
