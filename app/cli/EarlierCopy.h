#pragma once

#include <cstdio>
#include <string>

namespace cli {

// --convert: the links of an earlier copy in saveDirectory (an absolute path),
// as its downloads.log tells what was saved, are converted for reading the copy
// offline. One status line per converted file goes to out (unless quiet) and to
// the end of downloads.log; failures go to err. Returns the exit status: done,
// usage (no such copy) or files failed.
int convertEarlierCopy(const std::string& saveDirectory, bool quiet, std::FILE* out,
                       std::FILE* err);

}  // namespace cli
