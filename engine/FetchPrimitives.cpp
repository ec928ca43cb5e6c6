// The three fetch primitives and the component events that feed them.
#include <cmath>

#include "engine/JobView.h"
#include "engine/WebURL.h"
#include "engine/wsmain.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/MessageReceiver.h"
#include "platform/PartialFile.h"
#include "platform/SocketErrors.h"

namespace engine {

namespace {

constexpr int kFullProgress = 100;

// Every lone CR and every lone LF becomes CR LF; CR LF pairs stay.
std::string normaliseLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

bool THvxEngine::DownloadHeader(const std::string& url) {
    return fetch(FetchKind::Header, url, {});
}

bool THvxEngine::DownloadText(const std::string& url) { return fetch(FetchKind::Text, url, {}); }

bool THvxEngine::DloadOtherFile(const std::string& url, const std::string& localPath) {
    if (fetching_) return false;
    failureReason_.clear();
    // The body goes to a temporary file beside localPath and is moved there
    // only when whole: a failed, cut or stopped transfer leaves the earlier
    // file as it was.
    int error = 0;
    partialFile_ = platform::PartialFile::create(localPath, error);
    if (!partialFile_) {
        CheckSaveFolder();
        return false;
    }
    bool result = fetch(FetchKind::File, url, partialFile_->tempPath());
    Web1.setStoreFile(nullptr);
    if (result && partialFile_->commit() != 0) result = false;
    // Removes the temporary file unless it was moved into place.
    partialFile_.reset();
    return result;
}

bool THvxEngine::fetch(FetchKind kind, const std::string& url, const std::string& localPath) {
    // Handlers run inside the wait below (Stop, Cancel, boxes); none of them
    // may start a transfer that would take the component from this one.
    if (fetching_) return false;
    struct FetchScope {
        bool& flag;
        explicit FetchScope(bool& f) : flag(f) { flag = true; }
        ~FetchScope() { flag = false; }
    } scope(fetching_);
    // Whatever happens below (a raised Retrieve, a cancel, a redirect), the
    // fetch starts and ends with no transfer watched and nothing timed out, so
    // the watchdog never judges one fetch by another's times.
    struct WatchdogScope {
        THvxEngine& engine;
        explicit WatchdogScope(THvxEngine& e) : engine(e) { engine.clearWatchdog(); }
        ~WatchdogScope() { engine.clearWatchdog(); }
    } watchdog(*this);

    failureReason_.clear();
    // Only web URLs are fetched: another scheme would have the component read
    // local files or speak to servers the engine does not know.
    if (!IsWebURL(url)) return false;

    bool result = false;
    try {
        Web1.Cancel();
        // Each fetch sets every mode it relies on; none is left to an earlier one.
        Web1.setRequestMode(http::mdStreaming);
        Web1.setStreamMode(http::smMemory);
        Web1.setMethod(kind == FetchKind::Header ? http::mtHEAD : http::mtGET);
        Web1.setStoreToFile(kind == FetchKind::File);
        Web1.setStoreName(kind == FetchKind::File ? localPath : std::string());
        // The body goes through the temporary file already open, not a second
        // descriptor opened by name.
        Web1.setStoreFile(kind == FetchKind::File ? partialFile_.get() : nullptr);
        Web1.setURL(url);

        MemoDownload.clear();
        pageTooLarge_ = false;
        bodyBytes_ = 0;
        sStatus = kind == FetchKind::Header ? "Downloading Header" : "Downloading";
        UpDateStatus(url);

        iStartTime = ReturnTime();
        {
            // The wait below delivers what Retrieve posts before it blocks,
            // so the post need not wake the event loop.
            platform::queuedMessages::PumpScope pumping;
            Web1.Retrieve();
            platform::waitUntil([this] { return !Web1.Retrieving(); });
        }

        if (bTimedOut) {
            MemoDownload.clear();
            sStatus = "Timeout on";
            UpDateStatus(url);
        } else if (Web1.socketError() != 0) {
            // Refused, reset or not found: the transfer ended at once, and
            // whatever arrived before a reset is not the document.
            MemoDownload.clear();
            failureReason_ = platform::socketErrorText(Web1.socketError());
        } else if (!Web1.tlsFailure().empty()) {
            // A failed handshake or a rejected certificate: nothing was asked.
            MemoDownload.clear();
            failureReason_ = Web1.tlsFailure();
        } else if (!Web1.proxyRefusal().empty()) {
            // The proxy's 407: its page is not the document.
            MemoDownload.clear();
            failureReason_ = Web1.proxyRefusal();
        } else if (pageTooLarge_) {
            MemoDownload.clear();
        } else {
            if (kind == FetchKind::Text) MemoDownload = normaliseLineBreaks(MemoDownload);
            result = Web1.StatusText().find("200") != std::string::npos;
            const std::int64_t advertised = Web1.ContentLength();
            if (result && kind != FetchKind::Header && advertised > 0 && bodyBytes_ < advertised) {
                // The connection ended early: what arrived is not the document.
                result = false;
                MemoDownload.clear();
            }
            if (result && kind == FetchKind::File &&
                (!partialFile_ || partialFile_->written() != bodyBytes_)) {
                // The component could not write every block (a full disk).
                result = false;
            }
            if (result) view_.SetProgress(kFullProgress);
        }
    } catch (...) {
        result = false;
    }
    if (kind == FetchKind::File && !result && !localPath.empty()) {
        // Only a whole file is left behind: a partial one, an error page or a
        // file cut short by the watchdog is removed.
        if (partialFile_) {
            partialFile_->discard();
        } else {
            platform::fs::removeFile(localPath);
        }
    }
    return result;
}

void THvxEngine::clearWatchdog() {
    iStartTime.reset();
    iDataTime.reset();
    bTimedOut = false;
}

void THvxEngine::RestartStallClock() {
    const int now = ReturnTime();
    if (iStartTime) iStartTime = now;
    if (iDataTime) iDataTime = now;
}

void THvxEngine::UpDateFailedFetch(const std::string& text) {
    if (failureReason_.empty()) {
        UpDateStatus(text);
        return;
    }
    statusLog_.Update(sStatus, text, iTotalBytes, std::string(kReasonIndent) + failureReason_);
}

void THvxEngine::Web1DataAvailable(http::TWeb* sender, const char* buffer, int length) {
    if (length < 0) length = 0;
    if (!sender->StoreToFile()) {
        if (static_cast<std::int64_t>(MemoDownload.size()) + length > kMaxPageBytes) {
            pageTooLarge_ = true;
            MemoDownload.clear();
            sender->Cancel();
            return;
        }
        // The page keeps every byte it arrived with, NUL bytes included.
        MemoDownload.append(buffer, static_cast<std::size_t>(length));
    }
    iFileBytes += length;
    bodyBytes_ += length;
    const std::int64_t advertised = sender->ContentLength();
    if (advertised > 0) {
        const double percent =
            static_cast<double>(iFileBytes) / static_cast<double>(advertised) * 100.0;
        view_.SetProgress(static_cast<int>(std::min<double>(std::llround(percent), kFullProgress)));
    }
    iDataTime = ReturnTime();
}

void THvxEngine::Web1Disconnect(http::TWeb*) {
    iFileBytes = 0;
    view_.SetProgress(0);
    iDataTime.reset();
    iStartTime.reset();
}

void THvxEngine::Web1TimeOut(http::TWeb*) { bTimedOut = true; }

}  // namespace engine
