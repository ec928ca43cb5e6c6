// Offline copies: what pages need to display, and their links converted for
// reading from disk.
#include "engine/CopyConversion.h"
#include "engine/JobView.h"
#include "engine/LinkTarget.h"
#include "engine/PageRequisites.h"
#include "engine/ParseURLFns.h"
#include "engine/PercentEscapes.h"
#include "engine/wsmain.h"

namespace engine {

std::string THvxEngine::LayoutURL(std::string_view url) const {
    return view_.OfflineCopy() ? DecodePercentEscapes(url) : std::string(url);
}

bool THvxEngine::IsRequisite(std::string_view url) const {
    return view_.OfflineCopy() && requisites_.count(SavedFileKey(url)) > 0;
}

bool THvxEngine::IsStylesheet(std::string_view url) const {
    return stylesheets_.count(SavedFileKey(url)) > 0 || IsStylesheetName(SplitURL(url).fileName);
}

bool THvxEngine::RequisiteConfirm(std::string_view url) const {
    const TUrlParts candidate = SplitURL(url);
    const TUrlParts start = SplitURL(view_.StartURL());
    if (candidate.host.empty() || candidate.host != start.host) return false;
    if (candidate.protocol != "http://" && candidate.protocol != "https://") return false;
    return !IsQueuedOrDone(url);
}

void THvxEngine::QueueRequisites(const std::string& url, std::string_view text, TSavedKind kind) {
    if (!view_.OfflineCopy()) return;
    const auto sites =
        kind == TSavedKind::Stylesheet ? FindStylesheetLinks(text) : FindPageLinks(text);
    // A browser resolves every link of the page against its first base tag.
    std::string base = url;
    for (const auto& site : sites) {
        if (site.role != TLinkRole::Base) continue;
        if (auto target = ResolveLinkTarget(site.address, url)) base = target->absolute;
        break;
    }
    for (const auto& site : sites) {
        if (site.role != TLinkRole::Requisite && site.role != TLinkRole::Stylesheet) continue;
        const auto target = ResolveLinkTarget(site.address, base);
        if (!target) continue;
        const std::string& candidate = target->url;
        const std::string key = SavedFileKey(candidate);
        requisites_.insert(key);
        if (site.role == TLinkRole::Stylesheet) stylesheets_.insert(key);
        if (!RequisiteConfirm(candidate)) continue;
        QueueList.push_back(candidate);
        sStatus = "   ";
        UpDateStatus(candidate);
        ++iQueued;
        ShowQueuedCount();
    }
}

void THvxEngine::RecordSavedURL(const std::string& url, const std::string& path) {
    // Only the conversion reads it; without it a large site's addresses and
    // paths would be kept for nothing (a later conversion reads the log).
    if (!view_.OfflineCopy()) return;
    SavedFiles.Add(url, path, IsStylesheet(url) ? TSavedKind::Stylesheet : TSavedKind::File);
}

void THvxEngine::RecordNewAddress(const std::string& from, const std::string& to) {
    if (view_.OfflineCopy()) SavedFiles.AddRedirect(from, to);
    const std::string fromKey = SavedFileKey(from);
    const std::string toKey = SavedFileKey(to);
    if (requisites_.count(fromKey) > 0) requisites_.insert(toKey);
    if (stylesheets_.count(fromKey) > 0) stylesheets_.insert(toKey);
}

void THvxEngine::ScanSavedStylesheet(const std::string& url, const std::string& path) {
    if (!view_.OfflineCopy() || !IsStylesheet(url)) return;
    if (const auto text = ReadSavedFile(path)) QueueRequisites(url, *text, TSavedKind::Stylesheet);
}

void THvxEngine::ConvertSavedLinks() {
    ConvertCopy(SavedFiles, [this](const TConversionReport& report) {
        if (report.ok) {
            sStatus = "Converted links in";
            UpDateStatus(report.path + ": " + std::to_string(report.linksChanged));
        } else {
            sStatus = "Error: Could not convert links in";
            UpDateStatus(report.path);
        }
    });
}

}  // namespace engine
