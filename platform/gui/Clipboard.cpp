#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

void setClipboardText(const std::string& text) {
    if (auto* clipboard = QGuiApplication::clipboard()) clipboard->setText(QString::fromUtf8(text));
}

std::string clipboardText() {
    if (auto* clipboard = QGuiApplication::clipboard())
        return clipboard->text().toUtf8().toStdString();
    return {};
}

}  // namespace platform
