#include <cerrno>

#include "engine/JobView.h"
#include "engine/LocalLayout.h"
#include "engine/ParseURLFns.h"
#include "engine/wsmain.h"
#include "platform/FileSystem.h"
#include "platform/PartialFile.h"

// The engine's saving: where a URL's file goes, writing it, and the state of
// the save folder. The layout rules themselves are in LocalLayout.cpp.

namespace engine {

std::string THvxEngine::LocalDirOf(std::string_view url) const {
    return URLToLocalDir(platform::fs::expandHome(view_.SaveDirectory()), LayoutURL(url));
}

std::string THvxEngine::LocalPathOf(const std::string& url) const {
    // Where the file system will put it, so that the check for leaving the
    // save directory and the folders created agree.
    const std::string directory = NormalisePath(LocalDirOf(url));
    return FilePath(directory, LocalFileName(platform::fs::expandHome(view_.SaveDirectory()),
                                             directory, SplitURL(LayoutURL(url)).fileName));
}

std::string THvxEngine::ShownLocalPathOf(const std::string& url) const {
    const std::string directory = LocalDirOf(url);
    return FilePath(directory, LocalFileName(platform::fs::expandHome(view_.SaveDirectory()),
                                             directory, SplitURL(LayoutURL(url)).fileName));
}

void THvxEngine::ReportRenamedFile(const std::string& url) {
    const std::string directory = LocalDirOf(url);
    const std::string fileName = SplitURL(LayoutURL(url)).fileName;
    const std::string name =
        LocalFileName(platform::fs::expandHome(view_.SaveDirectory()), directory, fileName);
    if (name == fileName) return;
    sStatus = "File saved to";
    UpDateStatus(FilePath(directory, name));
}

bool THvxEngine::SaveFile(const std::string& url) {
    const std::string fileName = SplitURL(LayoutURL(url)).fileName;
    const std::string builtDirectory = LocalDirOf(url);
    const std::string directory = NormalisePath(builtDirectory);
    const std::string path = LocalPathOf(url);
    // A URL whose ".." segments climb above the save directory is never written.
    if (fileName.empty() ||
        !IsInsideDirectory(platform::fs::expandHome(view_.SaveDirectory()), path))
        return false;
    if (!knownFolders_.ensure(directory)) {
        sStatus = "Error: Could not create path " + builtDirectory + "for";
        UpDateStatus(url);
        CheckSaveFolder();
        return false;
    }
    // Written beside its final name and moved there only when whole: a page
    // that does not fit (a full disk) leaves the earlier copy as it was.
    int error = 0;
    auto file = platform::PartialFile::create(path, error);
    if (!file && knownFolders_.forget(directory)) {
        // The folder was taken on trust; someone may have removed or replaced
        // it meanwhile. It is looked at (and made) again, as for a new one.
        if (!knownFolders_.ensure(directory)) {
            sStatus = "Error: Could not create path " + builtDirectory + "for";
            UpDateStatus(url);
            CheckSaveFolder();
            return false;
        }
        file = platform::PartialFile::create(path, error);
    }
    if (!file || !file->write(MemoDownload) || file->commit() != 0) {
        CheckSaveFolder();
        return false;
    }
    sStatus = "File saved to";
    UpDateStatus(ShownLocalPathOf(url));
    RecordSavedFile(path);
    RecordSavedURL(url, path);
    return true;
}

// --- The save folder ---

void THvxEngine::PrepareSaveFolder() {
    saveFolderError_ = 0;
    const std::string folder = platform::fs::expandHome(view_.SaveDirectory());
    if (platform::fs::isAbsolutePath(folder) && platform::fs::directoryExists(folder))
        platform::removeLeftoverPartialFiles(folder);
}

void THvxEngine::CheckSaveFolder() {
    if (saveFolderError_ != 0) return;
    const std::string folder = platform::fs::expandHome(view_.SaveDirectory());
    int error = platform::fs::createDirectoriesError(folder);
    if (error == 0) error = platform::PartialFile::probeDirectory(folder);
    // A full disk is the free-space test's business: the job goes on until
    // that test stops it, and files that fit are still saved.
    if (error == ENOSPC || error == EDQUOT) return;
    saveFolderError_ = error;
}

std::string THvxEngine::SaveFolderFailure() const {
    if (saveFolderError_ == 0) return {};
    return "Cannot write to the save folder " + platform::fs::expandHome(view_.SaveDirectory()) +
           ": " + platform::fs::errorText(saveFolderError_);
}

void THvxEngine::DiscardPartialFile() {
    if (!partialFile_) return;
    // The transfer cannot go on without its file.
    Web1.Cancel();
    partialFile_->discard();
}

}  // namespace engine
