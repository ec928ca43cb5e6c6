#include "http/Webcache.h"

#include <algorithm>
#include <random>

#include "http/CacheIndexFile.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace http {

namespace {

constexpr const char* kFilePrefix = "ZEPH";
constexpr const char* kFileExtension = ".CAH";
constexpr int kNameAttempts = 65536;

std::string readWhole(const std::string& path) {
    auto in = platform::FileStream::openRead(path);
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(0, in->size())), '\0');
    bytes.resize(in->read(bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace

std::string webCacheMessageText(int id) {
    switch (id) {
        case SCachePathAfterInit:
            return "Cannot change CachePath after initialization";
        case SCacheNameAfterInit:
            return "Cannot change CacheName after initialization";
        case SInvalidCachePath:
            return "Invalid CachePath - CacheName";
        case SInvalidCacheFile:
            return "Not a valid Cache file";
        default:
            return {};
    }
}

TWebCache::TWebCache() : cachePath_(platform::fs::tempDirectory()) {}

void TWebCache::report(int id) {
    std::string text = webCacheMessageText(id);
    int code = id % 100;
    if (errorMode_ == emHandler) {
        if (OnError) OnError(this, code, text);
        return;
    }
    throw EWebCacheError(text + ", Code: " + std::to_string(code), code);
}

void TWebCache::setCachePath(const std::string& v) {
    if (initialized_) {
        report(SCachePathAfterInit);
        return;
    }
    cachePath_ = v;
    if (cachePath_.empty() || cachePath_.back() != '/') cachePath_ += '/';
}

void TWebCache::setCacheName(const std::string& v) {
    if (initialized_) {
        // The same text as for the path: both name the one index file.
        report(SCachePathAfterInit);
        return;
    }
    cacheName_ = v;
}

void TWebCache::setCacheSize(int megabytes) {
    cacheSize_ = std::clamp(megabytes, kMinCacheSize, kMaxCacheSize);
}

bool TWebCache::ownsFile(const std::string& path) const {
    // Only our own cache files are ever deleted, whatever an index file says.
    if (path.size() <= cachePath_.size() || path.compare(0, cachePath_.size(), cachePath_) != 0)
        return false;
    std::string name = path.substr(cachePath_.size());
    return name.find('/') == std::string::npos && name.rfind(kFilePrefix, 0) == 0 &&
           name.size() == 12 && name.compare(8, 4, kFileExtension) == 0;
}

void TWebCache::Initialize() {
    index_.clear();
    total_ = 0;
    const std::string path = IndexPath();
    if (platform::fs::fileExists(path)) {
        std::vector<TDocumentClass> read;
        std::string bytes;
        try {
            bytes = readWhole(path);
        } catch (const platform::FileCreateError&) {
            throw EStreamReadError();
        }
        if (CacheIndexFile::decode(bytes, read) == CacheIndexFile::Result::BadSignature) {
            report(SInvalidCacheFile);
            return;
        }
        for (auto& e : read) {
            if (e.State != TDocumentClass::kValid) {
                if (ownsFile(e.FileName)) platform::fs::removeFile(e.FileName);
                continue;
            }
            if (!platform::fs::fileExists(e.FileName)) continue;
            index_.push_back(std::move(e));
        }
        recomputeTotal();
    }
    Trim();
    initialized_ = true;
}

TDocumentClass* TWebCache::find(const std::string& url) {
    for (auto& e : index_) {
        if (e.URL == url) return &e;
    }
    return nullptr;
}

void TWebCache::Lookup(TDocumentClass& record) {
    if (TDocumentClass* e = find(record.URL)) {
        record = *e;
        return;
    }
    record.State = TDocumentClass::kNew;
    index_.push_back(record);
}

std::string TWebCache::newCacheFileName() const {
    static const char* hex = "0123456789ABCDEF";
    std::random_device device;
    std::mt19937 random(device());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = cachePath_ + kFilePrefix;
        unsigned v = random() & 0xFFFF;
        for (int i = 3; i >= 0; --i) name += hex[(v >> (4 * i)) & 0xF];
        name += kFileExtension;
        bool taken = platform::fs::fileExists(name);
        for (const auto& e : index_) taken = taken || e.FileName == name;
        if (!taken) return name;
    }
    return {};
}

void TWebCache::Prepare(TDocumentClass& record) {
    TDocumentClass* e = find(record.URL);
    if (!e) {
        record.State = TDocumentClass::kAbsent;
        return;
    }
    if (e->State == TDocumentClass::kNew || e->State == TDocumentClass::kValid) {
        // A valid entry being replaced keeps its file.
        if (e->FileName.empty()) e->FileName = newCacheFileName();
        e->State = e->FileName.empty() ? TDocumentClass::kAbsent : TDocumentClass::kWriting;
    }
    record = *e;
}

void TWebCache::Update(const TDocumentClass& record) {
    for (std::size_t i = 0; i < index_.size(); ++i) {
        if (index_[i].URL != record.URL) continue;
        if (record.State == TDocumentClass::kAbsent) {
            removeAt(i);
        } else {
            index_[i] = record;
        }
        break;
    }
    recomputeTotal();
}

void TWebCache::removeAt(std::size_t i) {
    const std::string file = index_[i].FileName;
    index_.erase(index_.begin() + static_cast<std::ptrdiff_t>(i));
    // A dropped entry leaves no orphan file behind.
    const bool shared = std::any_of(index_.begin(), index_.end(),
                                    [&](const TDocumentClass& e) { return e.FileName == file; });
    if (!file.empty() && !shared && ownsFile(file)) platform::fs::removeFile(file);
}

void TWebCache::recomputeTotal() {
    total_ = 0;
    for (const auto& e : index_) total_ += e.Size;
}

void TWebCache::SaveIndex() {
    if (!platform::fs::writeFile(IndexPath(), CacheIndexFile::encode(index_))) {
        report(SInvalidCachePath);
        return;
    }
    Trim();
}

void TWebCache::Trim() {
    const std::int64_t limit = static_cast<std::int64_t>(cacheSize_) * kMegabyte;
    if (total_ < limit) return;
    // First what is not a complete document, then the oldest documents, so that
    // a full cache still takes in what was fetched last.
    for (std::size_t i = index_.size(); i-- > 0;) {
        if (index_[i].State != TDocumentClass::kValid) {
            total_ -= index_[i].Size;
            removeAt(i);
        }
    }
    while (total_ > limit && !index_.empty()) {
        total_ -= index_.front().Size;
        removeAt(0);
    }
    recomputeTotal();
}

}  // namespace http
