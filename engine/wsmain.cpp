#include "engine/wsmain.h"

#include "engine/JobView.h"
#include "engine/LinkExtraction.h"
#include "engine/ParseURLFns.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace engine {

namespace {

constexpr std::string_view kQueuedLabel = "Queued Files: ";
constexpr std::string_view kProgramTitle = "Harvex";

}  // namespace

THvxEngine::THvxEngine(TJobView& view) : THvxEngine(view, platform::systemClock()) {}

THvxEngine::THvxEngine(TJobView& view, platform::Clock& clock)
    : view_(view), clock_(clock), statusLog_(view) {
    configureWeb();
    SetContentLengthSource([this] { return Web1.ContentLength(); });
    Timer1.setInterval(1000);
    Timer1.onTimer = [this] { Timer1Timer(); };
    Timer1.setEnabled(true);
}

void THvxEngine::configureWeb() {
    Web1.setAccept("*/*");
    Web1.setBufferSize(8192);
    Web1.setErrorMode(http::emHandler);
    Web1.setMethod(http::mtGET);
    Web1.setPeekMode(false);
    Web1.setProxyPort(0);
    Web1.setRequestMode(http::mdStreaming);
    Web1.setStreamMode(http::smMemory);
    Web1.setTimeOut(2);
    Web1.setUseProxy(false);
    Web1.setUserAgent(kUserAgent);
    Web1.setWebService(http::svHTTP);
    Web1.setWebPort(80);
    Web1.OnDataAvailable = [this](http::TWeb* sender, const char* buffer, int length) {
        Web1DataAvailable(sender, buffer, length);
    };
    Web1.OnDisconnect = [this](http::TWeb* sender) { Web1Disconnect(sender); };
    Web1.OnTimeOut = [this](http::TWeb* sender) { Web1TimeOut(sender); };
    Web1.AuthorizationDialog =
        [this](http::TWeb*, const std::string& realm, const std::string& host, std::string& user,
               std::string& password) { return view_.AskCredentials(realm, host, user, password); };
    Web1.CertificateQuestion = [this](http::TWeb*, const std::string& host,
                                      const std::string& reason) {
        return AcceptCertificate(host, reason);
    };
}

void THvxEngine::UseTls(std::shared_ptr<platform::TlsContext> context) {
    Web1.setTlsContext(std::move(context));
}

bool THvxEngine::AcceptCertificate(const std::string& host, const std::string& reason) {
    const auto known = certificateAnswers_.find(host);
    if (known != certificateAnswers_.end()) return known->second;
    const bool accepted = view_.AcceptCertificate(host, reason);
    certificateAnswers_[host] = accepted;
    return accepted;
}

void THvxEngine::UseProxies(const http::EnvironmentProxies& proxies) {
    // http:// goes to the http proxy as a whole URL; https:// only ever
    // through the https proxy's CONNECT tunnel.
    const http::TProxies list = http::ProxiesOf(proxies);
    proxyList_.setProxies(list);
    proxyList_.setNoProxyHosts(proxies.noProxy());
    const bool any = !list.Http.empty() || !list.Security.empty();
    Web1.setProxyDispatcher(any ? &proxyList_ : nullptr);
    if (!any) Web1.setUseProxy(false);
}

TJobResult THvxEngine::Result() const {
    TJobResult result;
    result.saved = SavedList.size();
    result.left = QueueList.size();
    result.bytes = iTotalBytes;
    result.transferBytes = iFileBytes;
    result.halted = bHalted;
    result.saveFolderFailed = SaveFolderFailed();
    return result;
}

THvxEngine::WatchdogPause::WatchdogPause(THvxEngine& engine)
    : engine_(engine), watching_(engine.Timer1.enabled()) {
    engine_.Timer1.setEnabled(false);
}

THvxEngine::WatchdogPause::~WatchdogPause() {
    // The transfer's clock starts again: the pause was not a stall.
    engine_.RestartStallClock();
    engine_.Timer1.setEnabled(watching_);
}

long THvxEngine::queuePosition(std::string_view url) const {
    if (!QueueList.empty() && EqualsCaseBlind(QueueList.back(), url))
        return static_cast<long>(QueueList.size()) - 1;
    return QueueList.IndexOf(url);
}

// --- Rules ---

void THvxEngine::ClearAllowedFilesList() {
    while (!AllowedFilesList.empty()) AllowedFilesList.pop_back();
}

void THvxEngine::AddRulesFromList(std::string_view list, std::uint8_t kind) {
    engine::AddRulesFromList(AllowedFilesList, list, kind);
}

void THvxEngine::BuildRulesFromPage3() {
    ClearAllowedFilesList();
    TDownloadChoices choices;
    choices.text = view_.DLoadTextFiles();
    choices.graphics = view_.DloadGraphics();
    choices.everything = view_.DloadEverything();
    AllowedFilesList = RulesFromChoices(choices, sTextTypes, sGraphicTypes);
}

void THvxEngine::PrintAllowedFileElement(const TAllowedFiles& rule) {
    view_.Dialogs().messageBox(std::string(kProgramTitle), DescribeRule(rule),
                               platform::DialogKind::Information, platform::kButtonOk);
}

bool THvxEngine::MeasureDiskFree() {
    const std::string directory = platform::fs::expandHome(view_.SaveDirectory());
    auto free =
        platform::fs::isAbsolutePath(directory) ? platform::fs::freeSpace(directory) : std::nullopt;
    iDiskFree = free.value_or(-1);
    return free.has_value();
}

// --- Lists ---

void THvxEngine::CreateObjectLists() {
    QueueList.clear();
    ProcessedList.clear();
    TagList.clear();
    ErrorList.clear();
    SavedList.clear();
    knownFolders_.clear();
    QueueList.push_back(StandardiseURL(view_.StartURL()));
    iQueued = 1;
    ShowQueuedCount();
}

void THvxEngine::ShowQueuedCount() {
    view_.SetQueuedLabel(std::string(kQueuedLabel) + std::to_string(iQueued));
}

void THvxEngine::MoveURL(long position) {
    if (position < 0 || static_cast<std::size_t>(position) >= QueueList.size()) return;
    ProcessedList.push_back(QueueList[static_cast<std::size_t>(position)]);
    QueueList.erase(static_cast<std::size_t>(position));
    --iQueued;
    ShowQueuedCount();
}

void THvxEngine::MoveURLtoErrorList(long position) {
    if (position < 0 || static_cast<std::size_t>(position) >= QueueList.size()) return;
    ErrorList.push_back(QueueList[static_cast<std::size_t>(position)]);
    QueueList.erase(static_cast<std::size_t>(position));
    --iQueued;
    ShowQueuedCount();
}

// --- URL tests ---

bool THvxEngine::FileType(std::string_view url) const { return engine::FileType(url, sTextTypes); }

bool THvxEngine::URLConfirm(std::string_view url) const {
    const TUrlParts candidate = SplitURL(url);
    const TUrlParts start = SplitURL(view_.StartURL());
    bool accept = false;
    if (view_.StayinPath()) {
        // A site is one site under "http://" and "https://": links move between them.
        const std::string startPrefix =
            SchemeBlindURL(start.protocol) + start.host + start.directory;
        const std::string candidatePrefix =
            SchemeBlindURL(candidate.protocol) + candidate.host + candidate.directory;
        accept = candidatePrefix.find(startPrefix) != std::string::npos;
    } else if (view_.StayinDomain()) {
        accept = candidate.host == start.host;
    }
    if (accept && !url.empty() && url.back() != '/' && !FileType(url)) {
        // Another file is queued only when some rule's pattern matches its
        // name; its size is judged after its header.
        accept = ConfirmFileSave(url) != kNoRuleMatches;
    }
    if (IsQueuedOrDone(url)) return false;
    return accept;
}

int THvxEngine::ConfirmFileSave(std::string_view url) const {
    return MatchRules(AllowedFilesList, SplitURL(url).fileName, CurrentContentLength(),
                      view_.DownloadNoSizeFiles());
}

// --- Link extraction ---

void THvxEngine::GetSrcURLs() {
    engine::GetSrcURLs(MemoDownload, TagList, [this](int percent) { view_.SetProgress(percent); });
}

bool THvxEngine::ProcessURLs(const std::string& pageURL) {
    std::string base = pageURL;
    sStatus = pageURL + " supplied: ";
    UpDateStatus("");

    for (std::size_t count = TagList.size(); count > 0 && !TagList.empty(); --count) {
        const TTagUrl tag = GetUrlFromTag(TagList.front());
        TagList.pop_front();
        if (tag.address.empty()) continue;

        std::string address = normaliseLink(tag.address, base);
        if (tag.isBase && !address.empty()) {
            sStatus = "BASE FOUND: Adjusting Reference URL to " + address + " From";
            UpDateStatus(base);
            base = address;
            continue;
        }
        std::string absolute = ResolveURL(address, base);
        if (absolute.empty() || absolute == " ") {
            ErrorList.push_back(address);
            continue;
        }
        if (URLConfirm(absolute)) {
            QueueList.push_back(absolute);
            sStatus = "   ";
            UpDateStatus(absolute);
            ++iQueued;
            ShowQueuedCount();
        }
    }
    return true;
}

// --- Status ---

void THvxEngine::UpDateStatus(const std::string& text) {
    statusLog_.Update(sStatus, text, iTotalBytes);
}

void THvxEngine::AddLogLine(const std::string& line) { statusLog_.AddLine(line); }

int THvxEngine::ReturnTime() const { return clock_.secondsSinceMidnight(); }

}  // namespace engine
