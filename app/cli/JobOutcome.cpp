#include "app/cli/JobOutcome.h"

#include <algorithm>
#include <cstdio>

#include "engine/wsmain.h"

namespace cli {

JobFigures figuresOf(const engine::THvxEngine& engine, std::size_t failed) {
    const engine::TJobResult result = engine.Result();
    JobFigures figures;
    figures.saved = result.saved;
    figures.failed = failed;
    figures.left = result.left;
    figures.bytes = result.bytes;
    figures.transferBytes = result.transferBytes;
    figures.halted = result.halted;
    figures.saveFolderFailed = result.saveFolderFailed;
    return figures;
}

int exitStatusOf(const JobFigures& figures) {
    if (figures.saveFolderFailed || (figures.saved == 0 && figures.failed > 0))
        return kExitNothingSaved;
    // A stop by quota or low disk space leaves files queued.
    if (figures.halted || figures.left > 0) return kExitStopped;
    if (figures.failed > 0) return kExitFilesFailed;
    return kExitDone;
}

std::string byteText(std::int64_t bytes) {
    constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string rateText(std::int64_t bytes, double seconds) {
    const double rate = static_cast<double>(bytes) / std::max(seconds, 0.001);
    return byteText(static_cast<std::int64_t>(rate)) + "/s";
}

std::string endLine(const JobFigures& figures, double seconds) {
    const auto whole = static_cast<long long>(std::max(seconds, 0.0));
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return std::string("Elapsed ") + elapsed + ", " + std::to_string(figures.saved) +
           (figures.saved == 1 ? " file" : " files") + " saved, " + std::to_string(figures.failed) +
           " failed, " + std::to_string(figures.left) + " left in the queue, average rate " +
           rateText(figures.bytes, seconds) + ".";
}

}  // namespace cli
