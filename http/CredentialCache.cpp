#include "http/CredentialCache.h"

#include <algorithm>

namespace http {

namespace {

constexpr char kCredentialSeparator = '\x04';

bool hasKey(const std::string& entry, const std::string& prefix) {
    return entry.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string TCredentialCache::key(const std::string& realm, const std::string& hostAndPort) {
    return realm + " at " + hostAndPort;
}

bool TCredentialCache::find(const std::string& key, Credentials& credentials) const {
    const std::string prefix = key + "|";
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (!hasKey(*it, prefix)) continue;
        const std::string value = it->substr(prefix.size());
        const auto split = value.find(kCredentialSeparator);
        credentials.user = value.substr(0, split);
        credentials.password = split == std::string::npos ? std::string() : value.substr(split + 1);
        return true;
    }
    return false;
}

void TCredentialCache::forget(const std::string& key) {
    const std::string prefix = key + "|";
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const std::string& e) { return hasKey(e, prefix); }),
                   entries_.end());
}

void TCredentialCache::add(const std::string& key, const std::string& user,
                           const std::string& password) {
    forget(key);
    const std::string entry = key + "|" + user + kCredentialSeparator + password;
    entries_.insert(std::lower_bound(entries_.begin(), entries_.end(), entry), entry);
}

TCredentialCache& TCredentialCache::shared() {
    static TCredentialCache cache;
    return cache;
}

}  // namespace http
