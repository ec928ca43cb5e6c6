#include "engine/JobValidation.h"

#include "engine/JobView.h"
#include "engine/ParseURLFns.h"
#include "engine/wsmain.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/FolderProbe.h"

namespace engine {

namespace {

constexpr const char* kCaption = "Harvex";
constexpr const char* kBlankBoxes = "One or more of the text boxes have been left blank.";
constexpr const char* kInvalidDrive =
    "The Drive you have specified is invalid. Please specify another.";
constexpr const char* kMustStartWithHttp =
    "The Web site you are downloading must start with \"http://\" or \"https://\"";

std::string cannotWriteText(const std::string& reason) {
    return "The Directory you have specified can not be created or written to (" + reason +
           "). Please specify another.";
}

}  // namespace

StartPageFindings ValidateStartPage(THvxEngine& engine) {
    TJobView& view = engine.view();
    platform::Dialogs& dialogs = view.Dialogs();
    StartPageFindings findings;

    const std::string directory = view.SaveDirectory();
    const std::string startURL = view.StartURL();
    if (!directory.empty() && !startURL.empty()) {
        // The letter case stays as typed: on this file system it names the folder.
        const std::string expanded = platform::fs::expandHome(directory);
        if (expanded != directory) view.SetSaveDirectory(expanded);
        if (!engine.MeasureDiskFree()) {
            dialogs.messageBox(kCaption, kInvalidDrive, platform::DialogKind::Error,
                               platform::kButtonOk);
            findings.invalidDrive = true;
        } else if (auto reason = platform::fs::folderUnusableReason(expanded)) {
            // Free space is read from the nearest existing ancestor, which may be a
            // file or a read-only or pseudo file system: the copy would save nothing.
            dialogs.messageBox(kCaption, cannotWriteText(*reason), platform::DialogKind::Error,
                               platform::kButtonOk);
            findings.folderNotWritable = true;
        }
    } else {
        dialogs.messageBox(kCaption, kBlankBoxes, platform::DialogKind::Error, platform::kButtonOk);
        findings.blankBoxes = true;
    }

    const std::string scheme = LowerCase(SplitURL(startURL).protocol);
    if (scheme != "http://" && scheme != "https://") {
        dialogs.messageBox(kCaption, kMustStartWithHttp, platform::DialogKind::Information,
                           platform::kButtonOk);
        findings.notHttp = true;
    }
    return findings;
}

}  // namespace engine
