#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/NameServerSource.h"

class TmsMXResolver;
class THttpCli;

// Splits text at every occurrence of separator (found without regard to
// letter case) into list; pieces are not trimmed, a separator at the end adds
// nothing and the empty text gives no piece. Returns the number of pieces - 1.
int SplitString(const std::string& text, const std::string& separator,
                std::vector<std::string>& list);

// Finds the mail exchangers of the domain of an address: the candidate name
// servers (this system's, else those of the list file on the maker's host)
// are asked in turn until one names at least one exchanger.
class TMailServerFinder {
public:
    static constexpr int kQueryTimeOut = 10;

    TMailServerFinder(TmsMXResolver& resolver, THttpCli& http) : resolver_(resolver), http_(http) {}

    platform::NameServerSource NameServers;
    // The maker's web host (optionally with ":port"), which serves the list
    // file of name servers.
    std::string MakerHost = "www.corvane.example";
    static constexpr const char* kListFilePath = "/dnsip/dnsip.dat";

    // Shows progress in the form's status line.
    std::function<void(const std::string&)> SetStatus;

    // Fills list with candidate name-server addresses.
    void GetDNSServers(std::vector<std::string>& list);
    // Fills list with "pref|host" entries (preference right-aligned in four
    // characters), sorted; a failed lookup only leaves the list shorter.
    void FindMailServers(const std::string& address, std::vector<std::string>& list);

private:
    TmsMXResolver& resolver_;
    THttpCli& http_;
};
