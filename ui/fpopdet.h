#pragma once

#include "ui/GradForm.h"

class QLabel;
class QPushButton;

namespace ui {

// The hidden credits dialog, opened by a secret gesture on the first page.
class TfrmPopDet : public TGradientForm {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 241;
    static constexpr int kClientHeight = 370;

    explicit TfrmPopDet(QWidget* parent = nullptr);

    // Shows the dialog modally and returns when it is closed. The same
    // instance can be shown again.
    void ShowModal();

    QLabel* Image1;
    QPushButton* Button1;

    void Button1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool modal_ = false;
};

}  // namespace ui
