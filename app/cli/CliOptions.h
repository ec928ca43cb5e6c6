#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

// One own rule: a file-name pattern with optional size bounds in kilobytes
// (-1 when none).
struct RuleOption {
    std::string pattern;
    int lowerKb = -1;
    int upperKb = -1;
};

enum class OnQuota { Ask, Stop, Continue };

struct CliOptions {
    std::string startUrl;
    std::string saveDirectory;
    bool text = true;
    bool graphics = true;
    bool everything = false;
    std::vector<RuleOption> rules;
    bool stayInPath = true;
    std::optional<int> quotaMb;
    OnQuota onQuota = OnQuota::Ask;
    bool unknownSize = true;
    bool offline = false;
    // --convert: the save folder of an earlier copy whose links are converted
    // for reading offline; no copy is made.
    std::optional<std::string> convertDirectory;
    std::string mysteryName = "unknown.html";
    // Credentials for a site behind Basic authorization; without --user they
    // come from ~/.netrc.
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> passwordFile;
    // --no-proxy: every request goes straight to its server, whatever
    // http_proxy and the other proxy variables say.
    bool noProxy = false;
    // --no-check-certificate: an https:// server's certificate is not judged.
    bool noCheckCertificate = false;
    // --ca-certificate: the PEM file of the authorities to trust instead of the
    // system store.
    std::optional<std::string> caCertificate;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParseResult {
    std::optional<CliOptions> options;  // empty on a usage error
    std::string error;                  // the reason, for standard error
};

// Parses the arguments after the program name. Values keep their bytes.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// The --help text.
std::string usageText(const std::string& programName);

}  // namespace cli
