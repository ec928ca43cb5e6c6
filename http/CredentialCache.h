#pragma once

#include <string>
#include <vector>

namespace http {

// Credentials already given: entries read the realm key, "|", the user name,
// the character 4 and the password; sorted, one per key. The key is the realm
// and the server it belongs to, so that no other server or realm is ever sent
// them.
class TCredentialCache {
public:
    struct Credentials {
        std::string user;
        std::string password;
    };

    static std::string key(const std::string& realm, const std::string& hostAndPort);

    // The credentials stored under key, or false.
    bool find(const std::string& key, Credentials& credentials) const;
    void forget(const std::string& key);
    // A newer answer replaces the older one.
    void add(const std::string& key, const std::string& user, const std::string& password);

    std::vector<std::string>& entries() { return entries_; }
    const std::vector<std::string>& entries() const { return entries_; }

    // The one every TWeb uses unless it is given another.
    static TCredentialCache& shared();

private:
    std::vector<std::string> entries_;
};

}  // namespace http
