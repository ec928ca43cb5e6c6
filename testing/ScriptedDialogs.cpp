#include "testing/ScriptedDialogs.h"

namespace platform {

DialogResult ScriptedDialogs::messageBox(const std::string& caption, const std::string& text,
                                         DialogKind kind, DialogButtons buttons) {
    calls.push_back({Call::Type::Message, caption, text, kind, buttons, {}});
    if (!messageAnswers.empty()) {
        DialogResult answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    if (buttons & kButtonOk) return DialogResult::Ok;
    if (buttons & kButtonYes) return DialogResult::Yes;
    return DialogResult::None;
}

std::optional<std::string> ScriptedDialogs::inputBox(const std::string& caption,
                                                     const std::string& prompt,
                                                     const std::string& defaultValue) {
    calls.push_back({Call::Type::Input, caption, prompt, DialogKind::Plain, 0, defaultValue});
    if (!inputAnswers.empty()) {
        auto answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }
    return defaultValue;
}

std::optional<std::string> ScriptedDialogs::browseFolder(const std::string& title,
                                                         const std::string& startFolder) {
    calls.push_back({Call::Type::Browse, {}, title, DialogKind::Plain, 0, startFolder});
    if (!browseAnswers.empty()) {
        auto answer = browseAnswers.front();
        browseAnswers.pop_front();
        return answer;
    }
    return std::nullopt;
}

}  // namespace platform
