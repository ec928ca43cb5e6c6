#pragma once

#include <string>

namespace platform {

// The system clipboard's plain text.
void setClipboardText(const std::string& text);
std::string clipboardText();

}  // namespace platform
