// harvex-cli: the download engine without a window, for scripts and servers.

#include <unistd.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleJobView.h"
#include "engine/AllowedFiles.h"
#include "engine/JobValidation.h"
#include "engine/wsmain.h"
#include "platform/InterruptWatcher.h"
#include "platform/Terminal.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);

    const std::string program = "harvex-cli";
    std::vector<std::string> args(argv + 1, argv + argc);
    cli::ParseResult parsed = cli::parseCommandLine(args);
    if (!parsed.options) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.c_str(),
                     parsed.error.c_str(), program.c_str());
        return kExitUsage;
    }
    const cli::CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(cli::usageText(program).c_str(), stdout);
        return kExitFinished;
    }

    using Mode = cli::ConsoleJobView::Mode;
    const bool terminal = platform::isTerminal(1);
    const Mode mode =
        options.quiet ? Mode::Quiet : (terminal && !options.verbose ? Mode::Progress : Mode::Lines);
    // Status lines go out as they happen, also into a pipe.
    if (mode == Mode::Lines) std::setvbuf(stdout, nullptr, _IOLBF, 0);
    cli::ConsoleJobView view(options, mode, stdout, stderr, stdin, platform::isTerminal(0));
    view.setColumns(platform::terminalColumns(1));

    engine::THvxEngine engine(view);

    // The checks of the start-address page, with its messages.
    view.setShowAllBoxes(true);
    if (!engine::CheckStartPage(engine)) return kExitUsage;
    view.setShowAllBoxes(false);

    // The rules: the kinds as on the file-type page, then the own rules in order.
    engine.BuildRulesFromPage3();
    for (const cli::RuleOption& rule : options.rules) {
        const bool limited = rule.upperKb >= 0;
        engine.AllowedFilesList.push_back(engine::RuleFromEditor(
            rule.pattern, engine::EditorFileKind::Other,
            limited ? engine::SizeLimits::On : engine::SizeLimits::Off,
            limited ? std::optional<std::int64_t>(rule.upperKb) : std::nullopt,
            limited ? std::optional<std::int64_t>(rule.lowerKb) : std::nullopt));
    }

    // Ctrl-C is the Stop button; a second one ends the program at once.
    platform::InterruptWatcher interrupts;
    interrupts.onInterrupt = [&](int count) {
        if (count >= 2) {
            view.printError("Interrupted.");
            ::_exit(kExitStopped);
        }
        if (!engine.bStop) {
            view.printError("Please wait while the Harvex halts downloading...");
            engine.bStop = true;
        }
    };

    engine.SetUpObjectLists();

    // Whatever is still queued was not handled: the copy was stopped.
    return engine.QueueList.empty() ? kExitFinished : kExitStopped;
}
