#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Tells why a recommendation could not be sent and offers to put the message
// on the clipboard instead.
class TEmailErrorDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 374;
    // The least height; a longer text makes the dialog taller.
    static constexpr int kClientHeight = 101;
    static constexpr int kLabelLeft = 4;
    static constexpr int kLabelTop = 8;
    static constexpr int kLabelWidth = 365;
    static constexpr int kLabelHeight = 55;
    static constexpr int kButtonGap = 9;
    static constexpr int kButtonHeight = 25;
    static constexpr int kBottomMargin = 4;

    TEmailErrorDialog(const QString& text, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user chose "To Clipboard".
    static bool Execute(const QString& text, QWidget* parent = nullptr);

    QLabel* lblMessage;
    QPushButton* btnToClipboard;
    QPushButton* btnClose;

protected:
    void showEvent(QShowEvent* event) override;
};
