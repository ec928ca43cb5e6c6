#pragma once

#include <QWidget>
#include <memory>

class QLabel;

namespace platform {
class Timer;
}

namespace ui {

// The splash window: a picture with the version, closing itself two seconds
// after it is activated.
class TfrmSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 471;
    static constexpr int kClientHeight = 285;
    static constexpr int kInterval = 2000;

    explicit TfrmSplash(QWidget* parent = nullptr);
    ~TfrmSplash() override;

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    platform::Timer& Timer1() { return *timer1_; }

    void FormActivate();
    void Timer1Timer();

protected:
    bool event(QEvent* event) override;

private:
    std::unique_ptr<platform::Timer> timer1_;
};

}  // namespace ui
