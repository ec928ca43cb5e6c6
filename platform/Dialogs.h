#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

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
// (nested event loops, so sockets and timers keep running); tests script it.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual DialogResult messageBox(const std::string& caption, const std::string& text, DialogKind kind,
                                    DialogButtons buttons) = 0;

    // The text entered, or empty when the box was cancelled.
    virtual std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                                const std::string& defaultValue) = 0;

    // The folder chosen, or empty when the box was cancelled.
    virtual std::optional<std::string> browseFolder(const std::string& title, const std::string& startFolder) = 0;
};

// Answers from queues and records every box it was asked to show.
class ScriptedDialogs final : public Dialogs {
public:
    struct Call {
        enum class Type { Message, Input, Browse } type;
        std::string caption;
        std::string text;  // message text or input prompt or browse title
        DialogKind kind = DialogKind::Plain;
        DialogButtons buttons = 0;
        std::string defaultValue;
    };

    DialogResult messageBox(const std::string& caption, const std::string& text, DialogKind kind,
                            DialogButtons buttons) override;
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultValue) override;
    std::optional<std::string> browseFolder(const std::string& title, const std::string& startFolder) override;

    // Queued answers; when a queue runs dry a message box answers with its first
    // button (Ok, then Yes), an input box with its default, a browse with nothing.
    std::deque<DialogResult> messageAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::optional<std::string>> browseAnswers;

    std::vector<Call> calls;
};

}  // namespace platform
