#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// One entry of a ~/.netrc file; the default entry has no machine.
struct NetrcEntry {
    std::optional<std::string> machine;
    std::string login;
    std::string password;
};

// The entries of a netrc text as wget reads it: whitespace-separated tokens
// "machine NAME", "default", "login NAME", "password SECRET" ("account" and
// "port" values are skipped, a "macdef" runs to the next blank line), tokens
// may be double-quoted with backslash escapes, "#" starts a comment.
std::vector<NetrcEntry> parseNetrc(std::string_view text);

// The user name and password for a host, the way wget picks them: the first
// entry for the host (letter case ignored), whose password serves a given user
// only when its login is that user; without a given user, the default entry
// when no machine matches.
struct Login {
    std::string user;
    std::string password;
};
std::optional<Login> findNetrcLogin(const std::vector<NetrcEntry>& entries, std::string_view host,
                                    const std::optional<std::string>& user);

// The first line of a password file, without its line break. Empty (and a
// reason) when the file cannot be read.
std::optional<std::string> readPasswordFile(const std::string& path, std::string& reason);

// Answers the HTTP component's request for credentials in place of the realm
// dialog: from --user and --password, else from the netrc entries. A realm of a
// host is answered once; asked again, its credentials were refused, and the
// request ends as a cancelled dialog would end it. Secrets never reach a message.
class CredentialAnswers {
public:
    CredentialAnswers(std::optional<std::string> user, std::optional<std::string> password,
                      std::vector<NetrcEntry> netrc);

    bool answer(const std::string& realm, const std::string& host, std::string& user,
                std::string& password);

    // Where the program's warnings go (once per realm and host).
    std::function<void(const std::string&)> warn;

private:
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    std::vector<NetrcEntry> netrc_;
    std::set<std::string> answered_;
    std::set<std::string> warned_;
};

}  // namespace cli
