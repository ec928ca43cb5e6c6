#pragma once

#include <QString>
#include <string>

namespace ui {

// Byte strings become text only for display: UTF-8 when valid, else Latin-1.
QString DecodeBytes(const std::string& bytes);
// What the user typed, as the byte string the engine works with (UTF-8).
std::string EncodeText(const QString& text);

}  // namespace ui
