#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QToolButton>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class SettingsStore;
}

namespace ui {

enum TCorvEditOption : unsigned { ceOnExit = 1, ceOnCarriageReturn = 2 };
using TCorvEditOptions = unsigned;

// A one-line text box with an optional digits-only key filter and upper bound,
// a lower bound applied on leaving, persistence of its text in the user's
// settings, and a file-browse button beside it.
class TCorvEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kBrowseButtonWidth = 24;

    explicit TCorvEdit(QWidget* parent = nullptr);
    ~TCorvEdit() override;

    bool NumericOnly() const { return numericOnly_; }
    void SetNumericOnly(bool value) { numericOnly_ = value; }
    int Max() const { return max_; }
    void SetMax(int value) { max_ = value; }
    int Min() const { return min_; }
    void SetMin(int value) { min_ = value; }
    QString Version() const { return QStringLiteral("1.06"); }
    void SetVersion(const QString&) {}

    bool FileBrowser() const { return browseButton_ != nullptr; }
    void SetFileBrowser(bool value);
    QString FileFilter() const { return fileFilter_; }
    void SetFileFilter(const QString& filter) { fileFilter_ = filter; }

    QString RegPath() const { return regPath_; }
    // Stored with a leading backslash.
    void SetRegPath(const QString& path);
    QString RegValue() const { return regValue_; }
    void SetRegValue(const QString& value) { regValue_ = value; }
    bool RegStore() const { return regStore_; }
    void SetRegStore(bool value) { regStore_ = value; }
    TCorvEditOptions Options() const { return options_; }
    void SetOptions(TCorvEditOptions options) { options_ = options; }

    // Where RegStore keeps the text; by default the user's own settings.
    void SetSettingsStore(platform::SettingsStore* store) { store_ = store; }
    // The open-file dialog; tests replace it.
    std::function<std::optional<std::string>(const std::string& filter,
                                             const std::string& initialDir)>
        browseFile;

    // Fired after the control's own processing of a character key, with the
    // key as it then stands ('\0' when it was discarded).
    std::function<void(char& key)> OnKeyPress;
    std::function<void()> OnExit;

    // End of loading: with RegStore, the text comes from the settings.
    void Loaded();

    QToolButton* BrowseButton() const { return browseButton_; }
    void Browse();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    platform::SettingsStore& store();
    void saveText(const QString& text);
    // The character a key event types, if it types one.
    static std::optional<char> characterOf(const QKeyEvent* event);

    bool numericOnly_ = false;
    int max_ = 0;
    int min_ = 0;
    QString fileFilter_;
    QString regPath_;
    QString regValue_;
    bool regStore_ = false;
    TCorvEditOptions options_ = 0;
    platform::SettingsStore* store_ = nullptr;
    std::unique_ptr<platform::SettingsStore> ownStore_;
    QPointer<QToolButton> browseButton_;
};

}  // namespace ui
