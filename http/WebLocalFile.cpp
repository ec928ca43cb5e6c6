#include "http/BufferStream.h"
#include "http/DirectoryListing.h"
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/DirectoryScan.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

// The "file:///" source: a file is served as it is, a folder as an HTML
// listing of its entries.

namespace http {

void TWeb::startLocalFile() {
    const std::string path = documentPath_ + documentName_;
    if (platform::fs::fileExists(path)) {
        localStream_ = platform::FileStream::openRead(path);
        raise(OnConnect);
        return;
    }
    if (platform::fs::directoryExists(path)) {
        // The listing names the folder by its resolved path; the process's
        // working directory is left alone, since the rest of the program reads
        // relative paths against it.
        requestMode_ = mdRequest;
        std::string directory = platform::DirectoryScan::canonicalDirectory(path);
        if (directory.empty()) directory = path;
        bufferStream_ = std::make_unique<BufferStream>();
        bufferStream_->append(
            DirectoryListing::page(directory, platform::DirectoryScan::list(directory)));
        bufferStream_->seek(readPosition_);
        bytesReceived_ = bufferStream_->size();
        if (!raise(OnConnect)) return;
        if (!raise(OnResponse, 2, 0, std::string("OK"))) return;
        contentType_ = "TEXT";
        contentSubType_ = "HTML";
        raise(OnInfo);
        return;
    }
    reportError(SFileDoesNotExist, documentName_);
}

}  // namespace http
