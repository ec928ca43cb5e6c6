#include "ui/corvedit.h"

#include <QFileInfo>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QToolButton>

#include "platform/gui/QtDialogs.h"
#include "platform/gui/SettingsStore.h"
#include "ui/Resources.h"

namespace ui {

namespace {
constexpr char kBackspace = 8;
constexpr char kCarriageReturn = 13;

// The text as a number, when all of it is one.
std::optional<long long> toInteger(const QString& text) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}
}  // namespace

TCorvEdit::TCorvEdit(QWidget* parent) : QLineEdit(parent) {
    InitResources();
    browseFile = [this](const std::string& filter, const std::string& dir) {
        platform::QtDialogs dialogs(this);
        return dialogs.browseFile(filter, dir);
    };
}

TCorvEdit::~TCorvEdit() { delete browseButton_; }

void TCorvEdit::SetRegPath(const QString& path) {
    regPath_ = path.startsWith(QLatin1Char('\\')) ? path : QLatin1Char('\\') + path;
}

platform::SettingsStore& TCorvEdit::store() {
    if (store_) return *store_;
    if (!ownStore_) ownStore_ = std::make_unique<platform::QSettingsStore>();
    return *ownStore_;
}

void TCorvEdit::saveText(const QString& text) {
    store().writeString(regPath_.toStdString(), regValue_.toStdString(), text.toStdString());
}

void TCorvEdit::Loaded() {
    if (!regStore_) return;
    const auto value = store().readString(regPath_.toStdString(), regValue_.toStdString());
    setText(QString::fromStdString(value.value_or(std::string())));
}

std::optional<char> TCorvEdit::characterOf(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) return kBackspace;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return kCarriageReturn;
    // Shortcuts (copy, paste, ...) and navigation keys type nothing.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    const QString text = event->text();
    if (text.size() != 1 || !text.at(0).isPrint()) return std::nullopt;
    const char16_t c = text.at(0).unicode();
    // Only single-byte characters are keys of the filter; others pass as typed.
    return c < 0x100 ? std::optional<char>(static_cast<char>(c)) : std::optional<char>('\x7f');
}

void TCorvEdit::keyPressEvent(QKeyEvent* event) {
    const std::optional<char> typed = characterOf(event);
    if (!typed) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    char key = *typed;
    if (numericOnly_) {
        const bool digit = key >= '0' && key <= '9';
        if (!digit && key != kBackspace) {
            key = 0;
        } else if (digit) {
            if (hasSelectedText()) clear();
            if (max_ > 0) {
                // Judged as if appended, wherever the caret is.
                const auto candidate = toInteger(text() + QLatin1Char(key));
                if (candidate && *candidate > max_) key = 0;
            }
        }
    }
    if (regStore_ && (options_ & ceOnCarriageReturn)) saveText(text());

    if (key != 0) {
        QLineEdit::keyPressEvent(event);
    } else if (*typed == kCarriageReturn) {
        // Not typed, but the window still wants Enter for its default button.
        event->ignore();
    } else {
        event->accept();
    }
    if (OnKeyPress) OnKeyPress(key);
}

void TCorvEdit::focusOutEvent(QFocusEvent* event) {
    if (min_ > 0 && !text().isEmpty()) {
        // A text that is not a number (pasted) is left as it is.
        const auto value = toInteger(text());
        if (value && *value < min_) setText(QString::number(min_));
    }
    if (regStore_ && (options_ & ceOnExit)) saveText(text());
    QLineEdit::focusOutEvent(event);
    if (OnExit) OnExit();
}

void TCorvEdit::SetFileBrowser(bool value) {
    if (value == FileBrowser()) return;
    if (!value) {
        delete browseButton_;
        return;
    }
    browseButton_ = new QToolButton(parentWidget());
    browseButton_->setObjectName(objectName() + QStringLiteral("Browse"));
    browseButton_->setIcon(QIcon(QStringLiteral(":/images/openfile.png")));
    browseButton_->setIconSize(QSize(18, 16));
    browseButton_->setGeometry(x() + width(), y(), kBrowseButtonWidth, height());
    browseButton_->setEnabled(isEnabled());
    connect(browseButton_, &QToolButton::clicked, this, &TCorvEdit::Browse);
    if (parentWidget() && isVisible()) browseButton_->show();
}

void TCorvEdit::Browse() {
    if (!browseFile) return;
    const QString dir = QFileInfo(text()).path();
    const auto chosen = browseFile(fileFilter_.toStdString(), dir.toStdString());
    if (chosen) setText(QFileInfo(QString::fromStdString(*chosen)).absoluteFilePath());
}

void TCorvEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    if (browseButton_) browseButton_->move(x() + width() + 2, browseButton_->y());
}

void TCorvEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    if (browseButton_) browseButton_->move(x() + width(), y() - 2);
}

void TCorvEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && browseButton_)
        browseButton_->setEnabled(isEnabled());
}

}  // namespace ui
