// harvex-cli: the download engine without a window, for scripts and servers.

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Version.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleJobView.h"
#include "app/cli/Credentials.h"
#include "app/cli/EarlierCopy.h"
#include "app/cli/JobOutcome.h"
#include "engine/AllowedFiles.h"
#include "engine/JobValidation.h"
#include "engine/wsmain.h"
#include "http/EnvironmentProxies.h"
#include "platform/FileSystem.h"
#include "platform/InterruptWatcher.h"
#include "platform/Terminal.h"
#include "platform/TlsSession.h"

namespace {

const std::string kProgram = "harvex-cli";

int usageError(const std::string& reason) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram.c_str(),
                 reason.c_str(), kProgram.c_str());
    return cli::kExitUsage;
}

// Other users can read a process's arguments: the password given on the
// command line is blanked in place once it is parsed. (--password-file keeps
// it out of the list from the start.)
void blankPasswordArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return;
        if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc) {
            std::memset(argv[i + 1], '*', std::strlen(argv[i + 1]));
            ++i;
        } else if (std::strncmp(argv[i], "--password=", 11) == 0) {
            std::memset(argv[i] + 11, '*', std::strlen(argv[i] + 11));
        }
    }
}

// A command-line user means the folder relative to the working directory.
std::string absoluteSaveDirectory(const std::string& directory) {
    const std::string expanded = platform::fs::expandHome(directory);
    if (expanded.empty() || platform::fs::isAbsolutePath(expanded)) return expanded;
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return expanded;
        buffer.resize(buffer.size() * 2);
    }
    std::string base = buffer.data();
    std::string relative = expanded;
    while (relative.rfind("./", 0) == 0) relative.erase(0, 2);
    if (relative == ".") relative.clear();
    return base + (base.back() == '/' ? "" : "/") + relative;
}

std::vector<cli::NetrcEntry> readNetrc() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    const std::string text = [&] {
        std::FILE* file = std::fopen((std::string(home) + "/.netrc").c_str(), "rb");
        if (!file) return std::string();
        std::string content;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            content.append(buffer, n);
        std::fclose(file);
        return content;
    }();
    return cli::parseNetrc(text);
}

// The proxy variables as this process was given them; the engine reads no
// environment itself.
http::ProxyVariables proxyVariables() {
    http::ProxyVariables variables;
    for (const std::string& name : http::ProxyVariableNames())
        if (const char* value = std::getenv(name.c_str())) variables[name] = value;
    return variables;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // Qt's own event dispatcher: the GLib one costs several system calls more
    // per turn of the loop, and the engine turns it a few times per file.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);

    cli::ParseResult parsed =
        cli::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    blankPasswordArguments(argc, argv);
    if (!parsed.options) return usageError(parsed.error);
    cli::CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(cli::usageText(kProgram).c_str(), stdout);
        return cli::kExitDone;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgram.c_str(), app::kVersion);
        return cli::kExitDone;
    }
    if (options.passwordFile) {
        std::string reason;
        options.password = cli::readPasswordFile(*options.passwordFile, reason);
        if (!options.password)
            return usageError("cannot read --password-file " + *options.passwordFile + ": " +
                              reason);
    }
    if (options.convertDirectory) {
        return cli::convertEarlierCopy(absoluteSaveDirectory(*options.convertDirectory),
                                       options.quiet, stdout, stderr);
    }
    options.saveDirectory = absoluteSaveDirectory(options.saveDirectory);
    http::EnvironmentProxies proxies;
    if (std::string reason; !options.noProxy && !proxies.read(proxyVariables(), reason))
        return usageError(reason + " (--no-proxy ignores it)");

    using Mode = cli::ConsoleJobView::Mode;
    const bool terminal = platform::isTerminal(1);
    const Mode mode =
        options.quiet ? Mode::Quiet : (terminal && !options.verbose ? Mode::Progress : Mode::Lines);
    // Status lines go out as they happen, also into a pipe.
    if (mode == Mode::Lines) std::setvbuf(stdout, nullptr, _IOLBF, 0);
    cli::ConsoleJobView view(options, mode, stdout, stderr, stdin, platform::isTerminal(0));
    view.setColumns(platform::terminalColumns(1));

    platform::TlsSettings tlsSettings;
    if (options.caCertificate) tlsSettings.caFile = platform::fs::expandHome(*options.caCertificate);
    if (options.noCheckCertificate) tlsSettings.check = platform::TlsCheck::DoNotCheck;
    std::string tlsError;
    auto tlsContext = platform::TlsContext::create(tlsSettings, &tlsError);
    if (!tlsContext)
        return usageError("cannot use --ca-certificate " + options.caCertificate.value_or("") +
                          ": " + tlsError);

    engine::THvxEngine engine(view);
    engine.UseProxies(proxies);
    engine.UseTls(tlsContext);

    // The checks of the start-address page, with its messages.
    view.setShowAllBoxes(true);
    const engine::StartPageFindings findings = engine::ValidateStartPage(engine);
    if (!findings.passed()) {
        const bool onlyTheFolder = !findings.blankBoxes && !findings.invalidDrive &&
                                   !findings.notHttp && findings.folderNotWritable;
        return onlyTheFolder ? cli::kExitNothingSaved : cli::kExitUsage;
    }
    view.setShowAllBoxes(false);

    // The rules: the kinds as on the file-type page, then the own rules in order.
    engine.BuildRulesFromPage3();
    for (const cli::RuleOption& rule : options.rules) {
        const bool limited = rule.upperKb >= 0;
        engine.AddRule(engine::RuleFromEditor(
            rule.pattern, engine::EditorFileKind::Other,
            limited ? engine::SizeLimits::On : engine::SizeLimits::Off,
            limited ? std::optional<std::int64_t>(rule.upperKb) : std::nullopt,
            limited ? std::optional<std::int64_t>(rule.lowerKb) : std::nullopt));
    }

    // A site behind a password: the options or ~/.netrc answer in the realm
    // dialog's place.
    cli::CredentialAnswers credentials(options.user, options.password, readNetrc());
    credentials.warn = [&](const std::string& text) { view.printError(kProgram + ": " + text); };
    view.setCredentialSource(
        [&](const std::string& realm, const std::string& host, std::string& user,
            std::string& password) { return credentials.answer(realm, host, user, password); });

    // Ctrl-C is the Stop button; a second one ends the program at once.
    platform::InterruptWatcher interrupts;
    interrupts.onInterrupt = [&](int count) {
        if (count >= 2) {
            view.printError("Interrupted.");
            // The running transfer's temporary file goes with the program; the
            // earlier copy under the final name stays as it was.
            engine.DiscardPartialFile();
            ::_exit(cli::kExitStopped);
        }
        if (!engine.StopRequested()) {
            view.printError("Please wait while the Harvex halts downloading...");
            engine.RequestStop();
        }
    };

    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    view.setElapsedSource(elapsed);
    view.setFiguresSource([&] { return cli::figuresOf(engine, view.failedFiles()); });
    // The progress line's bytes and rate move during a long transfer too.
    QTimer progressTimer;
    QObject::connect(&progressTimer, &QTimer::timeout, [&] { view.refreshProgress(); });
    if (mode == Mode::Progress) progressTimer.start(1000);

    engine.SetUpObjectLists();
    progressTimer.stop();

    const cli::JobFigures figures = cli::figuresOf(engine, view.failedFiles());
    view.printEndLine(cli::endLine(figures, elapsed()));
    return cli::exitStatusOf(figures);
}
