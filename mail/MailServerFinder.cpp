#include "mail/MailServerFinder.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "mail/HttpProt.h"
#include "mail/msmx.h"
#include "platform/ByteText.h"

namespace {

std::size_t findNoCase(const std::string& text, const std::string& what) {
    return platform::LowerCase(text).find(platform::LowerCase(what));
}

bool lessNoCase(const std::string& a, const std::string& b) {
    return platform::LessCaseBlind(a, b);
}

void append(std::vector<std::string>& list, const std::vector<std::string>& pieces) {
    list.insert(list.end(), pieces.begin(), pieces.end());
}

}  // namespace

int SplitString(const std::string& text, const std::string& separator,
                std::vector<std::string>& list) {
    list.clear();
    std::string rest = text;
    while (!rest.empty()) {
        const std::size_t p = separator.empty() ? std::string::npos : findNoCase(rest, separator);
        if (p == std::string::npos) {
            list.push_back(rest);
            break;
        }
        list.push_back(rest.substr(0, p));
        rest.erase(0, p + separator.size());
    }
    return static_cast<int>(list.size()) - 1;
}

void TMailServerFinder::GetDNSServers(std::vector<std::string>& list) {
    resolver_.DNSAddress.clear();
    // This system's own servers come first: the static ones, then those DHCP
    // handed out.
    append(list, NameServers.StaticServers());
    append(list, NameServers.DhcpServers());
    if (!list.empty()) return;

    std::vector<std::string> scratch;
    try {
        http_.URL = "http://" + MakerHost + kListFilePath;
        http_.RcvdBody = &scratch;
        http_.Get();
    } catch (const std::exception&) {
        // Without the list there is simply no candidate.
    }
    http_.RcvdBody = nullptr;
    if (scratch.empty()) return;
    std::string text;
    for (const auto& entry : scratch) text += entry + "\r\n";
    scratch.clear();
    std::vector<std::string> pieces;
    SplitString(text, ",", pieces);
    append(list, pieces);
}

void TMailServerFinder::FindMailServers(const std::string& address,
                                        std::vector<std::string>& list) {
    const auto at = address.find('@');
    const std::string domain = at == std::string::npos ? address : address.substr(at + 1);
    std::vector<std::string> candidates;
    GetDNSServers(candidates);
    resolver_.setTimeOut(kQueryTimeOut);
    const std::size_t n = candidates.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (SetStatus)
            SetStatus(std::to_string(i + 1) + "/" + std::to_string(n) + " " + candidates[i]);
        resolver_.DNSAddress = candidates[i];
        resolver_.Domain = domain;
        try {
            resolver_.Resolve();
        } catch (const std::exception&) {
            // Any failure just moves on to the next name server.
        }
        if (resolver_.MXList.Count() > 0) {
            if (SetStatus) SetStatus("DNS OK!");
            break;
        }
    }
    for (int i = 0; i < resolver_.MXList.Count(); ++i) {
        const TMXRec& rec = resolver_.MXList.Items(i);
        std::string preference = std::to_string(rec.Preference);
        if (preference.size() < 4) preference.insert(0, 4 - preference.size(), ' ');
        list.push_back(preference + "|" + rec.Exchange);
    }
    std::stable_sort(list.begin(), list.end(), lessNoCase);
}
