#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace ui {

enum class TGFPaintWhen { gfpAlways, gfpActive, gfpNever };

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// Border icons, combined as bit flags.
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

class TGradientForm;
using TGFOnCaptionPaint = std::function<void(TGradientForm* Sender, QPainter& Canvas, QRect& R)>;

// A window that draws its own caption bar: a gradient from black to the
// caption colour, the window icon, the caption buttons and the title in white.
// The window is frameless; the bar is ours, and dragging it moves the window.
// Children belong on ClientArea().
class TGradientForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultGradientColors = 64;
    static constexpr int kMinGradientColors = 8;
    static constexpr int kMaxGradientColors = 256;
    static constexpr int kDialogFrame = 3;
    static constexpr int kSizingFrame = 4;
    static constexpr int kCaptionHeight = 19;
    static constexpr int kSmallCaptionHeight = 16;
    static constexpr int kSmallIcon = 16;
    static constexpr int kSmallCaptionButton = 13;

    struct CaptionButton {
        enum Kind { Close, Maximize, Restore, Minimize, Help } kind;
        QRect rect;  // in caption-bitmap coordinates
        bool enabled;
    };
    struct CaptionLayout {
        QRect caption;  // in window coordinates; empty for a borderless form
        bool hasIcon = false;
        QRect icon;  // in caption-bitmap coordinates
        std::vector<CaptionButton> buttons;
        QRect textArea;  // what is left for OnCaptionPaint and the text
    };

    explicit TGradientForm(QWidget* parent = nullptr,
                           TFormBorderStyle style = TFormBorderStyle::bsSingle,
                           unsigned borderIcons = biSystemMenu | biMinimize | biMaximize);
    ~TGradientForm() override;

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    int GradientColors() const { return gradientColors_; }
    // Values outside 8..256 are refused; the old value stays.
    void SetGradientColors(int colors);

    TGFPaintWhen PaintGradient() const { return paintGradient_; }
    void SetPaintGradient(TGFPaintWhen when);

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    unsigned BorderIcons() const { return borderIcons_; }

    TGFOnCaptionPaint OnCaptionPaint;

    // Children of the window go here.
    QWidget* ClientArea() const { return client_; }
    // Sizes the window so that the client area is w x h.
    void SetClientSize(int w, int h);
    void CenterOnScreen();

    // Table 0 is for the inactive state, table 1 for the active state.
    const std::vector<QColor>& ColorTable(int state) const { return tables_[state ? 1 : 0]; }
    // Entry j of n: each channel of target scaled by j / (n - 1), halves to even.
    static std::vector<QColor> BuildColorTable(const QColor& target, int n);
    static QColor CaptionColor(const QPalette& palette, bool active);
    // Sizing cursor for a border hit-test code 10..17; ArrowCursor otherwise.
    static Qt::CursorShape CursorForHitTest(int code);

    bool IsActive() const;
    // Lets tests and a window without a window manager force the state.
    void SetActiveOverride(int state) { activeOverride_ = state; }

    CaptionLayout ComputeCaptionLayout(bool maximized = false) const;
    // Draws the caption bar into a bitmap of the caption's size.
    QPixmap RenderCaption(bool active);
    void PaintCaption(bool active);
    QFont CaptionFont() const { return captionFont_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int frameWidth() const;
    int captionHeight() const;
    bool isToolWindow() const;
    void buildTables();
    void buildFont();
    void layoutClient();
    int hitTest(const QPoint& pos) const;
    void drawCaptionButton(QPainter& painter, const CaptionButton& button, bool pressed) const;
    // The caption button under a point in window coordinates, if any.
    std::optional<CaptionButton> captionButtonAt(const QPoint& pos) const;
    void clickCaptionButton(CaptionButton::Kind kind);

    QString caption_;
    int gradientColors_ = kDefaultGradientColors;
    TGFPaintWhen paintGradient_ = TGFPaintWhen::gfpAlways;
    TFormBorderStyle borderStyle_;
    unsigned borderIcons_;
    std::vector<QColor> tables_[2];
    QFont captionFont_;
    QWidget* client_;
    int activeOverride_ = -1;
    bool dragging_ = false;
    // The caption button the left mouse button went down on, until released.
    std::optional<CaptionButton::Kind> pressedButton_;
    bool pressedOver_ = false;
    QPoint dragOffset_;
};

}  // namespace ui
