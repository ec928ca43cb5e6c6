#pragma once

#include <cstdint>
#include <fstream>
#include <string>

// A stream on a new file "ms" + a unique suffix in the temporary directory,
// open for writing and reading from its start. The file is deleted when the
// stream is destroyed; a failure to delete is ignored.
class TTempFileStream {
public:
    // Raises std::runtime_error with the file system's reason when the file
    // cannot be created.
    TTempFileStream();
    ~TTempFileStream();
    TTempFileStream(const TTempFileStream&) = delete;
    TTempFileStream& operator=(const TTempFileStream&) = delete;

    std::fstream& stream() { return stream_; }
    const std::string& fileName() const { return fileName_; }
    // The number of bytes written so far.
    std::int64_t size();

private:
    std::string fileName_;
    std::fstream stream_;
};
