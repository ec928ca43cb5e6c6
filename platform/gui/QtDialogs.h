#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Dialogs.h"

namespace platform {

// The program's modal boxes as Qt dialogs. Each runs a nested event loop, so
// sockets and timers keep running while a box is open.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }

    DialogResult messageBox(const std::string& caption, const std::string& text, DialogKind kind,
                            DialogButtons buttons) override;
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultValue) override;
    std::optional<std::string> browseFolder(const std::string& title,
                                            const std::string& startFolder) override;

    // An open-file dialog; empty when the user cancelled.
    std::optional<std::string> browseFile(const std::string& filter, const std::string& initialDir);

private:
    QPointer<QWidget> parent_;
};

}  // namespace platform
