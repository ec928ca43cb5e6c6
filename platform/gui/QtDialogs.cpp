#include "platform/gui/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {

QString decode(const std::string& bytes) {
    // Texts are byte strings; show UTF-8 when it is valid, Latin-1 otherwise.
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(bytes);
    return text;
}

std::string encode(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

DialogResult QtDialogs::messageBox(const std::string& caption, const std::string& text,
                                   DialogKind kind, DialogButtons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(decode(caption));
    box.setText(decode(text));
    switch (kind) {
        case DialogKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case DialogKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case DialogKind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case DialogKind::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
        case DialogKind::Plain:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    struct Map {
        DialogButton ours;
        QMessageBox::StandardButton qt;
        DialogResult result;
    };
    static const Map kMap[] = {
        {kButtonOk, QMessageBox::Ok, DialogResult::Ok},
        {kButtonCancel, QMessageBox::Cancel, DialogResult::Cancel},
        {kButtonYes, QMessageBox::Yes, DialogResult::Yes},
        {kButtonNo, QMessageBox::No, DialogResult::No},
        {kButtonHelp, QMessageBox::Help, DialogResult::Help},
        {kButtonAbort, QMessageBox::Abort, DialogResult::Abort},
        {kButtonRetry, QMessageBox::Retry, DialogResult::Retry},
        {kButtonIgnore, QMessageBox::Ignore, DialogResult::Ignore},
    };
    QMessageBox::StandardButtons qtButtons;
    for (const auto& m : kMap)
        if (buttons & m.ours) qtButtons |= m.qt;
    if (qtButtons == QMessageBox::NoButton) qtButtons = QMessageBox::Ok;
    box.setStandardButtons(qtButtons);
    const int answer = box.exec();
    for (const auto& m : kMap)
        if (answer == m.qt) return m.result;
    return DialogResult::None;
}

std::optional<std::string> QtDialogs::inputBox(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& defaultValue) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, decode(caption), decode(prompt),
                                               QLineEdit::Normal, decode(defaultValue), &ok);
    if (!ok) return std::nullopt;
    return encode(text);
}

std::optional<std::string> QtDialogs::browseFolder(const std::string& title,
                                                   const std::string& startFolder) {
    const QString folder =
        QFileDialog::getExistingDirectory(parent_, decode(title), decode(startFolder));
    if (folder.isEmpty()) return std::nullopt;
    return encode(folder);
}

std::optional<std::string> QtDialogs::browseFile(const std::string& filter,
                                                 const std::string& initialDir) {
    const QString file = QFileDialog::getOpenFileName(
        parent_, QString(), decode(initialDir), decode(filter), nullptr, QFileDialog::ReadOnly);
    if (file.isEmpty()) return std::nullopt;
    return encode(file);
}

}  // namespace platform
