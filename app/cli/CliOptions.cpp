#include "app/cli/CliOptions.h"

#include <charconv>

namespace cli {

namespace {

constexpr int kMaxQuotaMb = 10000;  // the wizard's quota box goes no higher
constexpr int kMaxSizeKb = 100000;  // nor do the rule editor's size boxes

std::optional<int> parseNumber(const std::string& text, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max)
        return std::nullopt;
    return value;
}

// PATTERN or PATTERN:LOWER-UPPER. Bounds are kept only when lower < upper, as the
// rule editor keeps them; otherwise the rule has none.
std::optional<RuleOption> parseRule(const std::string& text, std::string& error) {
    RuleOption rule;
    auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        rule.pattern = text;
        return rule;
    }
    rule.pattern = text.substr(0, colon);
    const std::string bounds = text.substr(colon + 1);
    auto dash = bounds.find('-');
    if (dash == std::string::npos) {
        error = "--rule: size bounds must read LOWER-UPPER in kilobytes: " + text;
        return std::nullopt;
    }
    auto lower = parseNumber(bounds.substr(0, dash), kMaxSizeKb);
    auto upper = parseNumber(bounds.substr(dash + 1), kMaxSizeKb);
    if (!lower || !upper) {
        error = "--rule: size bounds must be whole kilobytes from 0 to 100000: " + text;
        return std::nullopt;
    }
    if (*lower < *upper) {
        rule.lowerKb = *lower;
        rule.upperKb = *upper;
    }
    return rule;
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    std::vector<std::string> positional;
    ParseResult result;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            auto eq = arg.find('=');
            if (eq != std::string::npos) return arg.substr(eq + 1);
            if (i + 1 < args.size()) return args[++i];
            result.error = std::string(name) + " needs a value";
            return std::nullopt;
        };
        auto is = [&](const char* name) {
            const std::string n(name);
            return arg == n || arg.rfind(n + "=", 0) == 0;
        };

        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--text") {
            options.text = true;
        } else if (arg == "--no-text") {
            options.text = false;
        } else if (arg == "--graphics") {
            options.graphics = true;
        } else if (arg == "--no-graphics") {
            options.graphics = false;
        } else if (arg == "--everything") {
            options.everything = true;
        } else if (is("--rule")) {
            auto v = value("--rule");
            if (!v) return result;
            auto rule = parseRule(*v, result.error);
            if (!rule) return result;
            options.rules.push_back(*rule);
        } else if (arg == "--no-stay-in-path") {
            options.stayInPath = false;
        } else if (is("--quota")) {
            auto v = value("--quota");
            if (!v) return result;
            auto mb = parseNumber(*v, kMaxQuotaMb);
            if (!mb) {
                result.error = "--quota must be whole megabytes from 0 to 10000: " + *v;
                return result;
            }
            options.quotaMb = *mb;
        } else if (is("--on-quota")) {
            auto v = value("--on-quota");
            if (!v) return result;
            if (*v == "stop") {
                options.onQuota = OnQuota::Stop;
            } else if (*v == "continue") {
                options.onQuota = OnQuota::Continue;
            } else {
                result.error = "--on-quota takes stop or continue: " + *v;
                return result;
            }
        } else if (arg == "--no-unknown-size") {
            options.unknownSize = false;
        } else if (arg == "--offline") {
            options.offline = true;
        } else if (is("--mystery-name")) {
            auto v = value("--mystery-name");
            if (!v) return result;
            options.mysteryName = *v;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            result.error = "unknown option: " + arg;
            return result;
        } else {
            positional.push_back(arg);
        }
    }

    if (options.help) {
        result.options = options;
        return result;
    }
    if (positional.size() != 2) {
        result.error = positional.size() < 2 ? "START_URL and SAVE_DIR are required"
                                             : "too many arguments: " + positional[2];
        return result;
    }
    if (options.quiet && options.verbose) {
        result.error = "--quiet and --verbose exclude each other";
        return result;
    }
    options.startUrl = positional[0];
    options.saveDirectory = positional[1];
    result.options = options;
    return result;
}

std::string usageText(const std::string& programName) {
    return "Usage: " + programName +
           " START_URL SAVE_DIR [OPTION]...\n"
           "Copy the web site at START_URL (an http:// address) into SAVE_DIR.\n"
           "\n"
           "File kinds (Text and Graphics are on unless turned off):\n"
           "      --text, --no-text          pages and text files (*.txt, *.htm, *.html, ...)\n"
           "      --graphics, --no-graphics  images (*.jpg, *.bmp, *.jpeg, *.gif)\n"
           "      --everything               every file (*.*)\n"
           "      --rule PATTERN[:LOWER-UPPER]\n"
           "                                 an own rule, such as '*.pdf' or '*.zip:10-5000'\n"
           "                                 (size bounds in kilobytes); repeatable, applied\n"
           "                                 in order after the kinds above\n"
           "\n"
           "Limits:\n"
           "      --no-stay-in-path          follow links outside the start directory\n"
           "                                 (still on the same host)\n"
           "      --quota MB                 stop after MB megabytes are saved\n"
           "      --on-quota stop|continue   what to do at the quota (a terminal asks)\n"
           "      --no-unknown-size          skip files whose size the server does not tell\n"
           "      --offline                  make the copy work offline: fetch what pages need\n"
           "                                 to display (from the start host), save names as\n"
           "                                 a browser reads them, and convert the links\n"
           "\n"
           "Other:\n"
           "      --mystery-name NAME        name for a directory page whose default document\n"
           "                                 cannot be found (default unknown.html)\n"
           "  -q, --quiet                    print nothing but errors\n"
           "  -v, --verbose                  print every status line, also on a terminal\n"
           "  -h, --help                     show this help and exit\n"
           "\n"
           "Ctrl-C stops after the current file; a second Ctrl-C ends at once.\n"
           "The log of every step is written to SAVE_DIR/downloads.log.\n"
           "\n"
           "Exit status: 0 when every queued file was handled, 1 when the copy was\n"
           "stopped (by the user, the quota or low disk space), 2 on invalid arguments.\n";
}

}  // namespace cli
