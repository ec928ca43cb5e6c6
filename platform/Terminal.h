#pragma once

namespace platform {

// Whether the file descriptor (0, 1, 2) is a terminal.
bool isTerminal(int fd);

// The terminal's width in columns, or 80 when it cannot be read.
int terminalColumns(int fd);

}  // namespace platform
