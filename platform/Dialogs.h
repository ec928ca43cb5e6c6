#pragma once

#include <optional>
#include <string>

namespace platform {

enum class DialogKind { Warning, Error, Information, Confirmation, Plain };

// Buttons combine as bit flags.
enum DialogButton : unsigned {
    kButtonOk = 1u << 0,
    kButtonCancel = 1u << 1,
    kButtonYes = 1u << 2,
    kButtonNo = 1u << 3,
    kButtonHelp = 1u << 4,
    kButtonAbort = 1u << 5,
    kButtonRetry = 1u << 6,
    kButtonIgnore = 1u << 7,
};
using DialogButtons = unsigned;

enum class DialogResult { None, Ok, Cancel, Yes, No, Help, Abort, Retry, Ignore };

// The modal boxes the program shows. The windows implement it with Qt dialogs
// (nested event loops, so sockets and timers keep running); tests script it
// (testing/ScriptedDialogs.h).
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual DialogResult messageBox(const std::string& caption, const std::string& text,
                                    DialogKind kind, DialogButtons buttons) = 0;

    // The text entered, or empty when the box was cancelled.
    virtual std::optional<std::string> inputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& defaultValue) = 0;

    // The folder chosen, or empty when the box was cancelled.
    virtual std::optional<std::string> browseFolder(const std::string& title,
                                                    const std::string& startFolder) = 0;
};

}  // namespace platform
