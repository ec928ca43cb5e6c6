#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>
#include <vector>

namespace platform {
class Timer;
}

namespace ui {

// An animation control: plays the frames of a clip (a horizontal strip of
// equally wide frames) in a loop, and shows its stop frame while stopped.
class TAnimate : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFrameInterval = 80;

    explicit TAnimate(QWidget* parent = nullptr);
    ~TAnimate() override;

    // Loads the strip; frames are frameWidth wide. False when it cannot be read.
    bool Load(const QString& resource, int frameWidth);
    int FrameCount() const { return static_cast<int>(frames_.size()); }

    int StopFrame() const { return stopFrame_; }
    void SetStopFrame(int frame);
    int CurrentFrame() const { return current_; }

    bool Active() const { return active_; }
    void SetActive(bool active);
    void Play() { SetActive(true); }
    void Stop() { SetActive(false); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QPixmap> frames_;
    std::unique_ptr<platform::Timer> timer_;
    int stopFrame_ = 0;
    int current_ = 0;
    bool active_ = false;
};

}  // namespace ui
