#pragma once

#include <functional>

namespace platform {

// Pumps events until done() holds. Between checks it blocks for the next event
// instead of spinning, so an idle wait burns no CPU. Re-entrant: handlers that
// run inside the wait may wait themselves.
void waitUntil(const std::function<bool()>& done);

// Like waitUntil, but gives up after timeoutMs milliseconds of real time.
// Returns whether done() held. Meant for tests and bounded waits.
bool waitUntilFor(const std::function<bool()>& done, int timeoutMs);

// Processes the events already pending, without blocking.
void processPendingEvents();

}  // namespace platform
