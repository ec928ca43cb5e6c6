#include "app/cli/EarlierCopy.h"

#include "app/cli/JobOutcome.h"
#include "engine/CopyConversion.h"
#include "engine/LocalLayout.h"
#include "engine/SavedCopyLog.h"
#include "platform/FileSystem.h"

namespace cli {

namespace {

constexpr const char* kLogName = "downloads.log";

}  // namespace

int convertEarlierCopy(const std::string& saveDirectory, bool quiet, std::FILE* out,
                       std::FILE* err) {
    const std::string folder = engine::NormalisePath(saveDirectory);
    const std::string logPath = engine::FilePath(folder, kLogName);
    const auto log = engine::ReadSavedFile(logPath);
    if (!platform::fs::directoryExists(folder) || !log) {
        std::fprintf(err, "harvex-cli: no copy to convert: cannot read %s\n", logPath.c_str());
        return kExitUsage;
    }
    const engine::TSavedFiles saved = engine::SavedFilesFromLog(
        *log, folder, [](const std::string& path) { return platform::fs::fileExists(path); });
    int failed = 0;
    engine::ConvertCopy(saved, [&](const engine::TConversionReport& report) {
        std::string line;
        if (report.ok) {
            line = "Converted links in " + report.path + ": " + std::to_string(report.linksChanged);
            if (!quiet) std::fprintf(out, "%s\n", line.c_str());
        } else {
            ++failed;
            line = "Error: Could not convert links in " + report.path;
            std::fprintf(err, "%s\n", line.c_str());
        }
        // The log keeps CR LF line breaks.
        platform::fs::appendToFile(logPath, line + "\r\n");
    });
    return failed > 0 ? kExitFilesFailed : kExitDone;
}

}  // namespace cli
