#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;
class QStackedWidget;

namespace ui {

class TWizard;
class TWizardPage;

enum TWizardButtonID : std::uint8_t {
    wbCancel = 0,
    wbHelp = 1,
    wbFinish = 2,
    wbNext = 3,
    wbBack = 4
};

// A set of TWizardButtonID in one byte: bit (1 << id).
class TWizardButtons {
public:
    constexpr TWizardButtons() = default;
    constexpr TWizardButtons(std::initializer_list<TWizardButtonID> ids) {
        for (auto id : ids) bits_ |= bit(id);
    }
    static constexpr TWizardButtons all() { return {wbCancel, wbHelp, wbFinish, wbNext, wbBack}; }
    constexpr bool contains(TWizardButtonID id) const { return (bits_ & bit(id)) != 0; }
    constexpr TWizardButtons operator+(TWizardButtonID id) const {
        TWizardButtons r = *this;
        r.bits_ |= bit(id);
        return r;
    }
    constexpr TWizardButtons operator-(TWizardButtonID id) const {
        TWizardButtons r = *this;
        r.bits_ &= static_cast<std::uint8_t>(~bit(id));
        return r;
    }
    constexpr bool operator==(const TWizardButtons&) const = default;
    constexpr std::uint8_t bits() const { return bits_; }

private:
    static constexpr std::uint8_t bit(TWizardButtonID id) {
        return static_cast<std::uint8_t>(1u << id);
    }
    std::uint8_t bits_ = 0;
};

enum class TBevel { bvNone, bvLowered, bvRaised };

using TWizardPageEvent = std::function<void(TWizardPage* page)>;
using TWizardPageChangingEvent =
    std::function<void(TWizardPage* currentPage, TWizardPage* destPage, bool& allowChange)>;
using TWizardPageValidateEvent = std::function<void(TWizardPage* page, bool& validated)>;

// One page of a wizard. Created with its wizard, it joins that wizard's page
// container at the end.
class TWizardPage : public QWidget {
    Q_OBJECT
public:
    explicit TWizardPage(TWizard* wizard, const QString& objectName = {});
    ~TWizardPage() override;

    TWizard* Wizard() const { return wizard_; }

    TWizardPage* NextPage() const { return nextPage_; }
    // Re-runs the wizard's UpdateButtons at once, so buttons follow a re-routed chain.
    void SetNextPage(TWizardPage* page);

    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool visible) { tabVisible_ = visible; }

    TWizardPageValidateEvent OnPageValidate;
    TWizardPageEvent OnPageShow;
    TWizardPageChangingEvent OnPageBack;
    TWizardPageChangingEvent OnPageNext;

private:
    friend class TWizard;
    QPointer<TWizard> wizard_;
    QPointer<TWizardPage> nextPage_;
    bool tabVisible_ = false;
};

// The page history, used as a stack.
class TWizardPageStack {
public:
    void Push(TWizardPage* page) { pages_.push_back(page); }
    TWizardPage* Pop();
    int Count() const { return static_cast<int>(pages_.size()); }
    void Remove(TWizardPage* page);

private:
    std::vector<TWizardPage*> pages_;
};

// A multi-page wizard: a page container above a 40-pixel button bar with Help,
// Back, Next, Finish and Cancel.
class TWizard : public QFrame {
    Q_OBJECT
public:
    static constexpr int kButtonBarHeight = 40;
    static constexpr int kButtonWidth = 75;
    static constexpr int kButtonHeight = 25;
    static constexpr int kButtonTop = 8;
    static constexpr int kButtonGap = 8;

    explicit TWizard(QWidget* parent = nullptr);
    ~TWizard() override;

    int PageCount() const;
    TWizardPage* Pages(int index) const;
    int PageIndex(const TWizardPage* page) const;

    QString Version() const { return QStringLiteral("1.0"); }
    void SetVersion(const QString&) {}

    QWidget* Image() const { return image_; }
    void SetImage(QWidget* image) { image_ = image; }

    QString CancelCaption() const { return cancelCaption_; }
    void SetCancelCaption(const QString& caption);
    QString HelpCaption() const { return helpCaption_; }
    void SetHelpCaption(const QString& caption);
    QString FinishCaption() const { return finishCaption_; }
    void SetFinishCaption(const QString& caption);
    QString NextCaption() const { return nextCaption_; }
    void SetNextCaption(const QString& caption);
    QString BackCaption() const { return backCaption_; }
    void SetBackCaption(const QString& caption);

    TWizardPage* StartPage() const { return startPage_; }
    void SetStartPage(TWizardPage* page) { startPage_ = page; }

    TWizardPage* ActivePage() const;
    void SetActivePage(TWizardPage* page);

    bool TabsVisible() const { return tabsVisible_; }
    void SetTabsVisible(bool visible);

    bool NextAutoFinish() const { return nextAutoFinish_; }
    void SetNextAutoFinish(bool value);
    bool NextAutoDisable() const { return nextAutoDisable_; }
    void SetNextAutoDisable(bool value) { nextAutoDisable_ = value; }
    bool FinishAutoEnable() const { return finishAutoEnable_; }
    void SetFinishAutoEnable(bool value) { finishAutoEnable_ = value; }

    TWizardButtons ButtonsVisible() const { return buttonsVisible_; }
    void SetButtonsVisible(TWizardButtons buttons);
    TWizardButtons ButtonsEnabled() const { return buttonsEnabled_; }
    void SetButtonsEnabled(TWizardButtons buttons);

    TBevel ButtonPanelStyle() const { return buttonPanelStyle_; }
    void SetButtonPanelStyle(TBevel style);

    TWizardPageEvent OnCancel;
    TWizardPageEvent OnHelp;
    TWizardPageEvent OnFinish;

    void ArrangeButtons();
    bool UpdateButtons();
    bool ShowPage(TWizardPage* currentPage, TWizardPage* newPage);
    void GoNext();
    void GoBack();

    // Called by the owner once all pages exist: shows the start page (or the
    // first page) so that its OnPageShow runs and the buttons are updated.
    void Loaded();

    const TWizardPageStack& History() const { return history_; }

    QPushButton* Button(TWizardButtonID id) const;
    QWidget* ButtonBar() const { return buttonBar_; }
    QStackedWidget* PageContainer() const { return container_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TWizardPage;
    void addPage(TWizardPage* page);
    void pageRemoved(TWizardPage* page);
    void layoutChildren();
    void applyButtonStates();

    QStackedWidget* container_;
    QFrame* buttonBar_;
    QPushButton* buttons_[5] = {};
    TWizardPageStack history_;
    QPointer<QWidget> image_;
    QPointer<TWizardPage> startPage_;
    QString cancelCaption_ = QStringLiteral("Cancel");
    QString helpCaption_ = QStringLiteral("&Help");
    QString finishCaption_ = QStringLiteral("&Finish");
    QString nextCaption_ = QStringLiteral("&Next  >");
    QString backCaption_ = QStringLiteral("<  &Back");
    bool tabsVisible_ = true;
    bool nextAutoFinish_ = false;
    bool nextAutoDisable_ = true;
    bool finishAutoEnable_ = true;
    TWizardButtons buttonsVisible_ = TWizardButtons::all();
    TWizardButtons buttonsEnabled_ = {wbCancel, wbHelp, wbNext};
    TBevel buttonPanelStyle_ = TBevel::bvNone;
};

}  // namespace ui
