#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace platform {

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
    std::optional<std::string> browseFolder(const std::string& title,
                                            const std::string& startFolder) override;

    // Queued answers; when a queue runs dry a message box answers with its first
    // button (Ok, then Yes), an input box with its default, a browse with nothing.
    std::deque<DialogResult> messageAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::optional<std::string>> browseAnswers;

    std::vector<Call> calls;
};

}  // namespace platform
