// URLs without a file name, and headers answered with a redirect.
#include <array>

#include "engine/JobView.h"
#include "engine/ParseURLFns.h"
#include "engine/WebURL.h"
#include "engine/wsmain.h"
#include "platform/Dialogs.h"

namespace engine {

namespace {

constexpr const char* kCaption = "Harvex";
constexpr const char* kMysteryName = "unknown.html";

}  // namespace

void THvxEngine::RedirectURL(const std::string& url) {
    const auto seen = redirectHops_.find(url);
    const int hops = seen == redirectHops_.end() ? 0 : seen->second;
    if (hops >= kMaxRedirects) {
        // A server that keeps redirecting to new addresses would keep the
        // crawl busy forever: the chain ends here like a failed header.
        MoveURLtoErrorList(queuePosition(url));
        sStatus = "Warning: Could not Download Header";
        UpDateStatus(url);
        return;
    }

    const std::string location = RedirectTarget(url);

    if (EqualsCaseBlind(location, url)) {
        // A URL that sends the client back to itself never yields a document.
        sStatus = "URL Redirected to:";
        UpDateStatus(location);
        MoveURLtoErrorList(queuePosition(url));
        sStatus = "Warning: Could not Download Header";
        UpDateStatus(url);
        return;
    }

    // The same address under the other scheme (a site moving to "https://" or
    // back) is where the document now is, not one already handled.
    const bool schemeMove = SameURL(location, url);
    MoveURL(queuePosition(url));
    sStatus = "URL Redirected to:";
    UpDateStatus(location);
    if (!IsWebURL(location)) {
        // Another scheme is no address for this engine: it fails like a
        // header that could not be fetched.
        ErrorList.push_back(location);
        sStatus = "Warning: Could not Download Header";
        UpDateStatus(location);
        return;
    }
    RecordNewAddress(url, location);
    // A target that is queued, done or failed already is not fetched again:
    // several URLs redirected to one place fetch it once.
    if (!schemeMove && IsQueuedOrDone(location)) return;
    redirectHops_[location] = hops + 1;
    QueueList.push_back(location);
}

std::string THvxEngine::RedirectTarget(const std::string& url) const {
    std::string location = Web1.Location();
    const auto lastSlash = location.rfind('/');
    const auto hash = location.find('#', lastSlash == std::string::npos ? 0 : lastSlash);
    if (hash != std::string::npos) location.erase(hash);
    location = StandardiseURL(location);
    return location.empty() ? url : ResolveURL(location, url);
}

bool THvxEngine::AnsweredWithSchemeMove(const std::string& url) const {
    const std::string& status = Web1.StatusText();
    if (status.find("300") == std::string::npos && status.find("301") == std::string::npos &&
        status.find("302") == std::string::npos)
        return false;
    const std::string location = RedirectTarget(url);
    return SameURL(location, url) && !EqualsCaseBlind(location, url);
}

void THvxEngine::DealwithNoFile(std::string& url) {
    const std::int64_t referenceLength = CurrentContentLength();
    std::string accepted;
    for (const std::string_view name : kDefaultDocumentNames) {
        const std::string candidate = AdFile(url, name);
        if (DownloadHeader(candidate)) {
            sStatus = "Redirection: Header " + std::string(name) + " exists";
            UpDateStatus(url);
            if (referenceLength == 0 || CurrentContentLength() == referenceLength) {
                sStatus = referenceLength != 0
                              ? "Redirection: Correct filename is"
                              : "Redirection: Can not determine file size. Downloading";
                UpDateStatus(candidate);
                accepted = name;
                break;
            }
        } else {
            ProcessedList.push_back(candidate);
            sStatus = "Redirection: Correct Filename is not";
            UpDateFailedFetch(candidate);
        }
    }

    if (!accepted.empty()) {
        const long position = queuePosition(url);
        std::string named = AdFile(url, accepted);
        if (IsQueuedOrDone(named)) {
            // The default document is queued or handled already (a page that
            // links "./", or a second way to its folder): the directory entry
            // ends here, and the page is fetched once.
            MoveURL(position);
            return;
        }
        ProcessedList.push_back(url);
        if (position >= 0) QueueList.replace(static_cast<std::size_t>(position), named);
        RecordNewAddress(url, named);
        url = std::move(named);
        return;
    }

    // The "mystery file": ask for a name and fetch the directory URL itself.
    platform::Dialogs& dialogs = view_.Dialogs();
    dialogs.messageBox(kCaption,
                       "The Harvex can not determine the name of the file pointed to by " + url +
                           "\nPress 'OK' to specify a name for this file. ",
                       platform::DialogKind::Warning, platform::kButtonOk | platform::kButtonHelp);
    const std::string name =
        dialogs
            .inputBox(kCaption, "Enter the name of the file pointed to by " + url + "below.",
                      kMysteryName)
            .value_or(kMysteryName);

    sStatus = "Redirection: Could Not Find Correct Filename";
    UpDateStatus(url);
    ErrorList.push_back(url);

    if (!DownloadText(url)) {
        sStatus = "Error: Could not download Mystery file";
        UpDateFailedFetch(url);
        MoveURLtoErrorList(queuePosition(url));
        MemoDownload.clear();
        return;
    }

    sStatus = "Redirection: Downloaded Mystery Filename";
    UpDateStatus(url);
    GetSrcURLs();
    std::string named = AdFile(url, name);
    const long position = queuePosition(url);
    if (position >= 0) QueueList.replace(static_cast<std::size_t>(position), named);
    RecordNewAddress(url, named);
    url = named;

    sStatus = "Processing Mystery File";
    UpDateStatus(named);
    ProcessURLs(named);

    const long namedPosition = queuePosition(named);
    if (ConfirmFileSave(named) == kMaySave) {
        sStatus = "Attempt to save mystery file";
        UpDateStatus(named);
        if (SaveFile(named)) {
            sStatus = "Saved Mystery File";
            UpDateStatus(named);
            MoveURL(namedPosition);
        } else {
            MoveURLtoErrorList(namedPosition);
            sStatus = "Error: Could not save mystery file";
            UpDateStatus(named);
        }
    } else {
        sStatus = "Mystery file downloaded but not saved";
        UpDateStatus(named);
        MoveURLtoErrorList(namedPosition);
    }
}

}  // namespace engine
