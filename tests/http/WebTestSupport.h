#pragma once

#include <string>
#include <vector>

#include "http/Web.h"

// Shared helpers of the HTTP component's tests.
namespace webtest {

constexpr int kWatchdogMs = 10000;

// The settings the main window gives its component.
void configureLikeEngine(http::TWeb& web);

// Records every event of a component as a line, in order.
struct EventLog {
    std::vector<std::string> events;
    std::string body;
    int dataEvents = 0;
    int largestBlock = 0;
    int unterminatedBlocks = 0;
    std::vector<int> errors;

    void attach(http::TWeb& web);
    bool saw(const std::string& event) const;
    int count(const std::string& event) const;
    std::string joined() const;  // the events separated by ", " (consecutive "Data" folded)
};

// Pumps events until the retrieval ends; false when the watchdog ran out.
bool waitForEnd(http::TWeb& web, int timeoutMs = kWatchdogMs);

// A fresh temporary file name in a folder that lives as long as the process.
std::string tempPath(const std::string& name);

// Deterministic pseudo-random bytes.
std::string randomBytes(std::size_t size, unsigned seed);

}  // namespace webtest
