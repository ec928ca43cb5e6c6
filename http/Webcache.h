#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/DocumentClass.h"
#include "http/WebCompanion.h"

namespace http {

class TWebCache;

// Raised in emException mode; the text ends with ", Code: " and the code.
class EWebCacheError : public std::runtime_error {
public:
    EWebCacheError(const std::string& text, int code) : std::runtime_error(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

enum WebCacheMessageId : int {
    SCachePathAfterInit = 2000,
    SCacheNameAfterInit = 2001,
    SInvalidCachePath = 2002,
    SInvalidCacheFile = 2003,
};

std::string webCacheMessageText(int id);

using TCacheErrorEvent =
    std::function<void(TWebCache* Sender, int ErrorCode, const std::string& ErrorMsg)>;

// A disk cache of documents keyed by URL, with an index file that lists the
// entries. TWeb consults it at Retrieve when its CacheControl refers to it.
class TWebCache : public WebCompanion {
public:
    static constexpr int kMinCacheSize = 1;
    static constexpr int kMaxCacheSize = 20;
    static constexpr std::int64_t kMegabyte = 1048576;

    // --- properties
    const std::string& CachePath() const { return cachePath_; }
    void setCachePath(const std::string& v);
    const std::string& CacheName() const { return cacheName_; }
    void setCacheName(const std::string& v);
    int CacheSize() const { return cacheSize_; }
    void setCacheSize(int megabytes);
    enum TErrorMode { emException, emHandler };
    TErrorMode ErrorMode() const { return errorMode_; }
    void setErrorMode(TErrorMode v) { errorMode_ = v; }
    TCacheErrorEvent OnError;

    // --- operations used by TWeb
    bool Initialized() const { return initialized_; }
    // Loads the index, drops what is incomplete or lost, trims.
    void Initialize();
    // Copies the entry for record.URL into record, or registers record as a
    // new entry (State kNew) when the index has none.
    void Lookup(TDocumentClass& record);
    // Readies the indexed entry for writing (State kWriting), giving a new
    // entry its cache file name; copies it back into record.
    void Prepare(TDocumentClass& record);
    // Stores record into its entry, or drops the entry (and its file) when
    // record.State is kAbsent.
    void Update(const TDocumentClass& record);
    // Writes the index file anew, then trims.
    void SaveIndex();
    // Removes entries until the bodies fit in CacheSize megabytes.
    void Trim();

    // --- inspection
    const std::vector<TDocumentClass>& Entries() const { return index_; }
    std::int64_t TotalSize() const { return total_; }
    std::string IndexPath() const { return cachePath_ + cacheName_; }

private:
    void report(int id);
    TDocumentClass* find(const std::string& url);
    void recomputeTotal();
    void removeAt(std::size_t i);
    std::string newCacheFileName() const;
    bool ownsFile(const std::string& path) const;

    std::string cachePath_;
    std::string cacheName_ = "ZEPH.DB";
    int cacheSize_ = kMinCacheSize;
    TErrorMode errorMode_ = emException;
    std::vector<TDocumentClass> index_;
    std::int64_t total_ = 0;
    bool initialized_ = false;

public:
    TWebCache();
};

}  // namespace http
