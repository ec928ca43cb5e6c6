#include "ui/Wizard.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>

namespace ui {

// ---- TWizardPage ----------------------------------------------------------

TWizardPage::TWizardPage(TWizard* wizard, const QString& objectName) : wizard_(wizard) {
    if (!objectName.isEmpty()) setObjectName(objectName);
    if (wizard) wizard->addPage(this);
}

TWizardPage::~TWizardPage() {
    if (wizard_) wizard_->pageRemoved(this);
}

void TWizardPage::SetNextPage(TWizardPage* page) {
    nextPage_ = page;
    if (wizard_) wizard_->UpdateButtons();
}

// ---- TWizardPageStack -----------------------------------------------------

TWizardPage* TWizardPageStack::Pop() {
    if (pages_.empty()) return nullptr;
    TWizardPage* page = pages_.back();
    pages_.pop_back();
    return page;
}

void TWizardPageStack::Remove(TWizardPage* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
}

// ---- TWizard --------------------------------------------------------------

TWizard::TWizard(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Wizard"));
    setFrameShape(QFrame::NoFrame);
    container_ = new QStackedWidget(this);
    container_->setObjectName(QStringLiteral("PageContainer"));
    container_->setFocusPolicy(Qt::NoFocus);
    buttonBar_ = new QFrame(this);
    buttonBar_->setObjectName(QStringLiteral("ButtonBar"));

    static const char* const kNames[5] = {"CancelButton", "HelpButton", "FinishButton",
                                          "NextButton", "BackButton"};
    for (int id = 0; id < 5; ++id) {
        auto* button = new QPushButton(buttonBar_);
        button->setObjectName(QString::fromLatin1(kNames[id]));
        button->setGeometry(0, kButtonTop, kButtonWidth, kButtonHeight);
        buttons_[id] = button;
    }
    buttons_[wbCancel]->setText(cancelCaption_);
    buttons_[wbHelp]->setText(helpCaption_);
    buttons_[wbFinish]->setText(finishCaption_);
    buttons_[wbNext]->setText(nextCaption_);
    buttons_[wbBack]->setText(backCaption_);
    // Enter presses Next and Escape presses Cancel (see keyPressEvent).
    buttons_[wbNext]->setDefault(true);

    connect(buttons_[wbHelp], &QPushButton::clicked, this, [this] {
        if (OnHelp) OnHelp(ActivePage());
    });
    connect(buttons_[wbCancel], &QPushButton::clicked, this, [this] {
        if (OnCancel) OnCancel(ActivePage());
    });
    connect(buttons_[wbFinish], &QPushButton::clicked, this, [this] {
        if (OnFinish) OnFinish(ActivePage());
    });
    connect(buttons_[wbNext], &QPushButton::clicked, this, [this] { GoNext(); });
    connect(buttons_[wbBack], &QPushButton::clicked, this, [this] { GoBack(); });

    SetButtonPanelStyle(buttonPanelStyle_);
    applyButtonStates();
    layoutChildren();
}

TWizard::~TWizard() {
    // The pages die after us (they are our children); they must not call back.
    for (int i = 0; i < container_->count(); ++i) {
        if (auto* page = qobject_cast<TWizardPage*>(container_->widget(i))) page->wizard_ = nullptr;
    }
}

int TWizard::PageCount() const { return container_->count(); }

TWizardPage* TWizard::Pages(int index) const {
    return qobject_cast<TWizardPage*>(container_->widget(index));
}

int TWizard::PageIndex(const TWizardPage* page) const {
    return container_->indexOf(const_cast<TWizardPage*>(page));
}

QPushButton* TWizard::Button(TWizardButtonID id) const { return buttons_[id]; }

void TWizard::SetCancelCaption(const QString& caption) {
    cancelCaption_ = caption;
    buttons_[wbCancel]->setText(caption);
}

void TWizard::SetHelpCaption(const QString& caption) {
    helpCaption_ = caption;
    buttons_[wbHelp]->setText(caption);
}

void TWizard::SetFinishCaption(const QString& caption) {
    finishCaption_ = caption;
    buttons_[wbFinish]->setText(caption);
}

void TWizard::SetNextCaption(const QString& caption) {
    nextCaption_ = caption;
    buttons_[wbNext]->setText(caption);
}

void TWizard::SetBackCaption(const QString& caption) {
    backCaption_ = caption;
    buttons_[wbBack]->setText(caption);
}

TWizardPage* TWizard::ActivePage() const {
    if (container_->count() == 0) return nullptr;
    return qobject_cast<TWizardPage*>(container_->currentWidget());
}

void TWizard::SetActivePage(TWizardPage* page) { ShowPage(ActivePage(), page); }

void TWizard::SetTabsVisible(bool visible) {
    tabsVisible_ = visible;
    if (PageCount() == 0) return;
    TWizardPage* active = ActivePage();
    for (int i = 0; i < PageCount(); ++i) Pages(i)->SetTabVisible(visible);
    SetActivePage(active);
}

void TWizard::SetNextAutoFinish(bool value) {
    nextAutoFinish_ = value;
    SetButtonsVisible(value ? buttonsVisible_ - wbFinish : buttonsVisible_ + wbFinish);
}

void TWizard::SetButtonsVisible(TWizardButtons buttons) {
    buttonsVisible_ = buttons;
    applyButtonStates();
    ArrangeButtons();
}

void TWizard::SetButtonsEnabled(TWizardButtons buttons) {
    buttonsEnabled_ = buttons;
    applyButtonStates();
    ArrangeButtons();
}

void TWizard::SetButtonPanelStyle(TBevel style) {
    buttonPanelStyle_ = style;
    switch (style) {
        case TBevel::bvNone:
            buttonBar_->setFrameStyle(QFrame::NoFrame);
            break;
        case TBevel::bvLowered:
            buttonBar_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            break;
        case TBevel::bvRaised:
            buttonBar_->setFrameStyle(QFrame::Panel | QFrame::Raised);
            break;
    }
}

void TWizard::applyButtonStates() {
    for (int id = 0; id < 5; ++id) {
        auto bid = static_cast<TWizardButtonID>(id);
        // setVisible on a child of a hidden window only records the wish; use
        // setHidden so the state is right once the window appears.
        buttons_[id]->setHidden(!buttonsVisible_.contains(bid));
        buttons_[id]->setEnabled(buttonsEnabled_.contains(bid));
    }
}

void TWizard::ArrangeButtons() {
    int x = buttonBar_->width();
    auto visible = [this](TWizardButtonID id) { return buttonsVisible_.contains(id); };
    auto place = [](QPushButton* b, int left) { b->move(left, b->y()); };
    if (visible(wbCancel)) {
        place(buttons_[wbCancel], x - buttons_[wbCancel]->width() - kButtonGap);
        x = buttons_[wbCancel]->x();
    }
    if (visible(wbFinish)) {
        place(buttons_[wbFinish], x - buttons_[wbFinish]->width() - kButtonGap);
        x = buttons_[wbFinish]->x();
    }
    if (visible(wbNext)) {
        place(buttons_[wbNext], x - buttons_[wbNext]->width() - kButtonGap);
        x = buttons_[wbNext]->x();
    } else {
        x -= kButtonGap;
    }
    // Back sits flush against Next.
    if (visible(wbBack)) place(buttons_[wbBack], x - buttons_[wbBack]->width());
    if (visible(wbHelp)) place(buttons_[wbHelp], kButtonGap);
}

bool TWizard::UpdateButtons() {
    bool validated = true;
    TWizardPage* active = ActivePage();
    if (active && active->OnPageValidate) active->OnPageValidate(active, validated);
    const bool isLast = active && active->NextPage() == nullptr;
    if (nextAutoFinish_ && !buttonsVisible_.contains(wbFinish)) {
        buttons_[wbNext]->setText(isLast ? finishCaption_ : nextCaption_);
    }
    if (finishAutoEnable_ && buttonsVisible_.contains(wbFinish)) {
        SetButtonsEnabled(isLast ? buttonsEnabled_ + wbFinish : buttonsEnabled_ - wbFinish);
    }
    if (nextAutoDisable_) {
        SetButtonsEnabled(validated ? buttonsEnabled_ + wbNext : buttonsEnabled_ - wbNext);
    }
    return validated;
}

bool TWizard::ShowPage(TWizardPage* /*currentPage*/, TWizardPage* newPage) {
    if (PageCount() == 0 || newPage == nullptr || PageIndex(newPage) < 0) return false;
    container_->setCurrentWidget(newPage);
    if (image_) {
        image_->setParent(newPage);
        image_->show();
    }
    TWizardPage* active = ActivePage();
    SetButtonsEnabled(active == startPage_ ? buttonsEnabled_ - wbBack : buttonsEnabled_ + wbBack);
    if (active && active->OnPageShow) active->OnPageShow(newPage);
    return UpdateButtons();
}

void TWizard::GoNext() {
    TWizardPage* active = ActivePage();
    if (active == nullptr) {
        Loaded();
        return;
    }
    bool allow = true;
    if (active->OnPageNext) active->OnPageNext(active, active->NextPage(), allow);
    if (!allow) return;
    if (!UpdateButtons()) return;
    // A handler may have re-routed the chain: read NextPage again.
    TWizardPage* next = active->NextPage();
    if (next == nullptr) {
        if (nextAutoFinish_ && !buttonsVisible_.contains(wbFinish) && OnFinish) OnFinish(active);
        return;
    }
    history_.Push(active);
    ShowPage(active, next);
}

void TWizard::GoBack() {
    if (history_.Count() == 0) return;
    TWizardPage* previous = history_.Pop();
    TWizardPage* active = ActivePage();
    bool allow = true;
    if (active && active->OnPageBack) active->OnPageBack(active, previous, allow);
    if (allow) ShowPage(active, previous);
}

void TWizard::Loaded() {
    if (PageCount() == 0) return;
    ShowPage(ActivePage(), startPage_ ? startPage_.data() : Pages(0));
}

void TWizard::addPage(TWizardPage* page) {
    page->tabVisible_ = false;
    container_->addWidget(page);
}

void TWizard::pageRemoved(TWizardPage* page) {
    // Close the chain over the gap.
    for (int i = 0; i < PageCount(); ++i) {
        TWizardPage* p = Pages(i);
        if (p && p != page && p->nextPage_ == page) p->nextPage_ = page->nextPage_;
    }
    // No dangling references to the removed page may remain.
    history_.Remove(page);
    if (startPage_ == page) startPage_ = nullptr;
    container_->removeWidget(page);
}

void TWizard::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    layoutChildren();
}

void TWizard::layoutChildren() {
    container_->setGeometry(0, 0, width(), std::max(0, height() - kButtonBarHeight));
    buttonBar_->setGeometry(0, std::max(0, height() - kButtonBarHeight), width(), kButtonBarHeight);
    ArrangeButtons();
}

void TWizard::keyPressEvent(QKeyEvent* event) {
    // Keys that the focused control leaves alone come up to us: Enter is the
    // default button (Next), Escape the cancel button.
    QPushButton* target = nullptr;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            target = buttons_[wbNext];
        else if (event->key() == Qt::Key_Escape)
            target = buttons_[wbCancel];
    }
    if (target && !target->isHidden() && target->isEnabled()) {
        target->click();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

}  // namespace ui
