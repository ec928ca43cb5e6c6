#pragma once

#include <QColor>
#include <QWidget>
#include <array>

namespace ui {

// A picture strip filled with a horizontal gradient from the button-highlight
// colour to the button-shadow colour; used under the page headings.
class TGradPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColors = 64;
    using ColorTable = std::array<QColor, kColors>;

    explicit TGradPanel(QWidget* parent = nullptr);

    // Entry i mixes right * i / 63 with left * (63 - i) / 63, halves to even.
    static ColorTable BuildColorTable(const QColor& left, const QColor& right);

    const ColorTable& Colors() const { return colors_; }

    // The screen depth used at each paint; tests may pin it.
    void SetDepthOverride(int bitsPerPixel) { depthOverride_ = bitsPerPixel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Built once: the strip keeps the colours it was created with.
    ColorTable colors_;
    int depthOverride_ = 0;
};

}  // namespace ui
