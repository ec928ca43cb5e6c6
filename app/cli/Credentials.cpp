#include "app/cli/Credentials.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace cli {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool sameHost(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Splits one line into tokens; "#" outside a token ends the line.
std::vector<std::string> lineTokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const bool quoted = line[i] == '"';
        if (quoted) ++i;
        std::string token;
        while (i < line.size() && (quoted ? line[i] != '"' : !isSpace(line[i]))) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            token += line[i++];
        }
        if (quoted && i < line.size()) ++i;  // the closing quote
        tokens.push_back(std::move(token));
    }
    return tokens;
}

}  // namespace

std::vector<NetrcEntry> parseNetrc(std::string_view text) {
    enum class Expect { Keyword, Machine, Login, Password, Skip };
    std::vector<NetrcEntry> entries;
    NetrcEntry* current = nullptr;
    Expect expect = Expect::Keyword;
    bool inMacro = false;

    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;

        if (inMacro) {
            // A macro's body runs to the first empty line.
            bool blank = true;
            for (char c : line) blank = blank && isSpace(c);
            if (blank) inMacro = false;
            continue;
        }
        for (std::string& token : lineTokens(line)) {
            switch (expect) {
                case Expect::Machine:
                    entries.push_back({std::move(token), {}, {}});
                    current = &entries.back();
                    expect = Expect::Keyword;
                    continue;
                case Expect::Login:
                    if (current) current->login = std::move(token);
                    expect = Expect::Keyword;
                    continue;
                case Expect::Password:
                    if (current) current->password = std::move(token);
                    expect = Expect::Keyword;
                    continue;
                case Expect::Skip:
                    expect = Expect::Keyword;
                    continue;
                case Expect::Keyword:
                    break;
            }
            if (token == "machine") {
                expect = Expect::Machine;
            } else if (token == "default") {
                entries.push_back({std::nullopt, {}, {}});
                current = &entries.back();
            } else if (token == "login") {
                expect = Expect::Login;
            } else if (token == "password") {
                expect = Expect::Password;
            } else if (token == "account" || token == "port") {
                expect = Expect::Skip;
            } else if (token == "macdef") {
                // The rest of the line names the macro; its body follows.
                inMacro = true;
                break;
            }
            // Anything else is an unknown word; wget skips it too.
        }
        if (end == text.size()) break;
    }
    return entries;
}

std::optional<Login> findNetrcLogin(const std::vector<NetrcEntry>& entries, std::string_view host,
                                    const std::optional<std::string>& user) {
    for (const NetrcEntry& entry : entries) {
        if (!entry.machine || !sameHost(*entry.machine, host)) continue;
        if (user && entry.login != *user) return std::nullopt;
        return Login{entry.login, entry.password};
    }
    if (user) return std::nullopt;
    for (const NetrcEntry& entry : entries) {
        if (!entry.machine) return Login{entry.login, entry.password};
    }
    return std::nullopt;
}

std::optional<std::string> readPasswordFile(const std::string& path, std::string& reason) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        reason = std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    std::getline(file, line);
    if (file.bad()) {
        reason = std::strerror(errno);
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

CredentialAnswers::CredentialAnswers(std::optional<std::string> user,
                                     std::optional<std::string> password,
                                     std::vector<NetrcEntry> netrc)
    : user_(std::move(user)), password_(std::move(password)), netrc_(std::move(netrc)) {}

bool CredentialAnswers::answer(const std::string& realm, const std::string& host, std::string& user,
                               std::string& password) {
    const std::string key = host + '\n' + realm;
    auto tell = [&](const std::string& text) {
        if (warn && warned_.insert(key).second) warn(text);
    };
    const std::string where = "\"" + realm + "\" on " + host;

    if (answered_.count(key)) {
        tell("the user name and password for " + where + " were refused");
        return false;
    }
    std::optional<Login> login;
    if (user_ && password_) {
        login = Login{*user_, *password_};
    } else if (auto entry = findNetrcLogin(netrc_, host, user_)) {
        login = entry;
    } else if (user_) {
        // A user without a password anywhere answers with an empty one.
        login = Login{*user_, {}};
    }
    if (!login) {
        tell(where +
             " asks for a user name and password: give --user and --password, "
             "or an entry in ~/.netrc");
        return false;
    }
    answered_.insert(key);
    user = login->user;
    password = login->password;
    return true;
}

}  // namespace cli
