#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <vector>

#include "LeakCheck.h"
#include "ui/Wizard.h"

using namespace ui;

class TestWizard : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
        TWizard* wizard = new TWizard(window.get());
        std::vector<TWizardPage*> pages;
        explicit Fixture(int count, int width = 534, int height = 353) {
            window->resize(width, height);
            wizard->setGeometry(0, 0, width, height);
            for (int i = 0; i < count; ++i)
                pages.push_back(new TWizardPage(wizard, QStringLiteral("Page%1").arg(i + 1)));
            for (int i = 0; i + 1 < count; ++i) pages[i]->SetNextPage(pages[i + 1]);
            // Hidden widgets get their resize events only when shown.
            window->show();
        }
    };

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void defaultsAtCreation() {
        Fixture f(0);
        QCOMPARE(f.wizard->Version(), QStringLiteral("1.0"));
        f.wizard->SetVersion(QStringLiteral("9"));
        QCOMPARE(f.wizard->Version(), QStringLiteral("1.0"));
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Next  >"));
        QCOMPARE(f.wizard->Button(wbBack)->text(), QStringLiteral("<  &Back"));
        QCOMPARE(f.wizard->Button(wbCancel)->text(), QStringLiteral("Cancel"));
        QVERIFY(f.wizard->ButtonsEnabled() == TWizardButtons({wbCancel, wbHelp, wbNext}));
        QVERIFY(f.wizard->ButtonsVisible() == TWizardButtons::all());
        QCOMPARE(f.wizard->ButtonBar()->height(), 40);
        for (auto id : {wbCancel, wbHelp, wbFinish, wbNext, wbBack}) {
            QCOMPARE(f.wizard->Button(id)->size(), QSize(75, 25));
            QCOMPARE(f.wizard->Button(id)->y(), 8);
        }
        QVERIFY(f.wizard->Button(wbNext)->isDefault());
    }

    void layoutOf534PixelBarWithFinishHidden() {
        Fixture f(2);
        f.wizard->SetNextAutoFinish(true);
        QCOMPARE(f.wizard->ButtonBar()->width(), 534);
        QCOMPARE(f.wizard->Button(wbCancel)->x(), 451);
        QCOMPARE(f.wizard->Button(wbNext)->x(), 368);
        QCOMPARE(f.wizard->Button(wbBack)->x(), 293);
        QCOMPARE(f.wizard->Button(wbHelp)->x(), 8);
    }

    void layoutWithAllButtonsAndWithNextHidden() {
        Fixture f(2);
        QCOMPARE(f.wizard->Button(wbCancel)->x(), 451);
        QCOMPARE(f.wizard->Button(wbFinish)->x(), 368);
        QCOMPARE(f.wizard->Button(wbNext)->x(), 285);
        QCOMPARE(f.wizard->Button(wbBack)->x(), 210);
        // Without Next, Back keeps a gap of 8 to the button on its right.
        const int nextX = f.wizard->Button(wbNext)->x();
        f.wizard->SetButtonsVisible(TWizardButtons::all() - wbNext - wbFinish);
        QCOMPARE(f.wizard->Button(wbBack)->x(), 451 - 8 - 75);
        QCOMPARE(f.wizard->Button(wbNext)->x(), nextX);  // hidden buttons stay put
        QVERIFY(f.wizard->Button(wbNext)->isHidden());
    }

    void noPagesIgnoresEverything() {
        Fixture f(0);
        QVERIFY(!f.wizard->ShowPage(nullptr, nullptr));
        f.wizard->GoNext();
        f.wizard->GoBack();
        f.wizard->SetActivePage(nullptr);
        QCOMPARE(f.wizard->ActivePage(), nullptr);
        QCOMPARE(f.wizard->History().Count(), 0);
    }

    void historyFollowsThePathTakenAndBackReturnsAlongIt() {
        Fixture f(4);
        f.wizard->Loaded();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
        // Without a StartPage no page counts as the start: Back is enabled.
        QVERIFY(f.wizard->ButtonsEnabled().contains(wbBack));
        // Skip page 3: 1 -> 2 -> 4.
        f.pages[1]->SetNextPage(f.pages[3]);
        f.wizard->GoNext();
        f.wizard->GoNext();
        QCOMPARE(f.wizard->ActivePage(), f.pages[3]);
        QCOMPARE(f.wizard->History().Count(), 2);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
        // Empty history: Back does nothing even while enabled.
        f.wizard->SetButtonsEnabled(f.wizard->ButtonsEnabled() + wbBack);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
    }

    void backIsDisabledOnTheStartPageOnly() {
        Fixture f(3);
        f.wizard->SetStartPage(f.pages[0]);
        f.wizard->Loaded();
        QVERIFY(!f.wizard->ButtonsEnabled().contains(wbBack));
        f.wizard->GoNext();
        QVERIFY(f.wizard->ButtonsEnabled().contains(wbBack));
        QVERIFY(f.wizard->Button(wbBack)->isEnabled());
    }

    void activePageAssignmentMakesNoHistoryEntry() {
        Fixture f(3);
        f.wizard->Loaded();
        f.wizard->SetActivePage(f.pages[2]);
        QCOMPARE(f.wizard->ActivePage(), f.pages[2]);
        QCOMPARE(f.wizard->History().Count(), 0);
    }

    void onPageBackCanRefuseAndTheEntryIsLost() {
        Fixture f(3);
        f.wizard->Loaded();
        f.wizard->GoNext();
        f.wizard->GoNext();
        TWizardPage* seenDest = nullptr;
        f.pages[2]->OnPageBack = [&](TWizardPage*, TWizardPage* dest, bool& allow) {
            seenDest = dest;
            allow = false;
        };
        f.wizard->GoBack();
        QCOMPARE(seenDest, f.pages[1]);
        QCOMPARE(f.wizard->ActivePage(), f.pages[2]);
        QCOMPARE(f.wizard->History().Count(), 1);
    }

    void nextAutoFinishCaptionsAndFinishEvent() {
        Fixture f(2);
        f.wizard->SetNextAutoFinish(true);
        std::vector<TWizardPage*> finished;
        f.wizard->OnFinish = [&](TWizardPage* page) { finished.push_back(page); };
        f.wizard->Loaded();
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Next  >"));
        f.wizard->GoNext();
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Finish"));
        f.wizard->Button(wbNext)->click();
        QCOMPARE(finished.size(), size_t(1));
        QCOMPARE(finished[0], f.pages[1]);
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Next  >"));
    }

    void nextOnLastPageWithoutAutoFinishDoesNothing() {
        Fixture f(2);
        int finished = 0;
        f.wizard->OnFinish = [&](TWizardPage*) { ++finished; };
        f.wizard->Loaded();
        f.wizard->GoNext();
        f.wizard->GoNext();
        QCOMPARE(finished, 0);
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        // The visible Finish button is enabled on the last page only.
        QVERIFY(f.wizard->ButtonsEnabled().contains(wbFinish));
        f.wizard->GoBack();
        QVERIFY(!f.wizard->ButtonsEnabled().contains(wbFinish));
    }

    void validationDisablesNextAndStopsGoNext() {
        Fixture f(2);
        bool valid = false;
        int nextCalls = 0;
        f.pages[0]->OnPageValidate = [&](TWizardPage*, bool& validated) { validated = valid; };
        f.pages[0]->OnPageNext = [&](TWizardPage*, TWizardPage*, bool&) { ++nextCalls; };
        f.wizard->Loaded();
        QVERIFY(!f.wizard->Button(wbNext)->isEnabled());
        f.wizard->GoNext();
        QCOMPARE(nextCalls, 1);  // OnPageNext runs before the validation stops it
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
        valid = true;
        QVERIFY(f.wizard->UpdateButtons());
        QVERIFY(f.wizard->Button(wbNext)->isEnabled());
        f.wizard->GoNext();
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
    }

    void onPageNextReroutesInTheSamePress() {
        Fixture f(3);
        f.pages[0]->OnPageNext = [&](TWizardPage* current, TWizardPage* dest, bool&) {
            QCOMPARE(dest, f.pages[1]);
            current->SetNextPage(f.pages[2]);
        };
        f.wizard->Loaded();
        f.wizard->GoNext();
        QCOMPARE(f.wizard->ActivePage(), f.pages[2]);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
    }

    void settingNextPageUpdatesButtonsAtOnce() {
        Fixture f(2);
        f.wizard->SetNextAutoFinish(true);
        f.wizard->Loaded();
        f.pages[0]->SetNextPage(nullptr);
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Finish"));
        f.pages[0]->SetNextPage(f.pages[1]);
        QCOMPARE(f.wizard->Button(wbNext)->text(), QStringLiteral("&Next  >"));
    }

    void tabsVisibleReshowsTheActivePage() {
        Fixture f(2);
        std::vector<TWizardPage*> shown;
        f.pages[0]->OnPageShow = [&](TWizardPage* page) { shown.push_back(page); };
        f.wizard->Loaded();
        QCOMPARE(shown.size(), size_t(1));
        f.wizard->SetTabsVisible(false);
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[1], f.pages[0]);
        QCOMPARE(f.pages[1]->TabVisible(), false);
    }

    void removingTheMiddlePageClosesTheChain() {
        Fixture f(3);
        f.wizard->Loaded();
        f.wizard->GoNext();
        QCOMPARE(f.wizard->History().Count(), 1);
        f.wizard->SetActivePage(f.pages[0]);
        delete f.pages[1];
        QCOMPARE(f.pages[0]->NextPage(), f.pages[2]);
        QCOMPARE(f.wizard->PageCount(), 2);
        f.wizard->GoNext();
        QCOMPARE(f.wizard->ActivePage(), f.pages[2]);
    }

    void removedPageLeavesNoDanglingHistory() {
        Fixture f(3);
        f.wizard->Loaded();
        f.wizard->GoNext();
        f.wizard->GoNext();
        delete f.pages[1];
        QCOMPARE(f.wizard->History().Count(), 1);
        f.wizard->GoBack();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
    }

    void enterPressesNextAndEscapePressesCancel() {
        Fixture f(2);
        int cancels = 0;
        f.wizard->OnCancel = [&](TWizardPage*) { ++cancels; };
        auto* edit = new QLineEdit(f.pages[0]);
        f.wizard->Loaded();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        QTest::keyClick(f.wizard->Button(wbBack), Qt::Key_Escape);
        QCOMPARE(cancels, 1);
    }

    void imageMovesOntoTheActivePage() {
        Fixture f(2);
        auto* picture = new QWidget(f.pages[0]);
        f.wizard->SetImage(picture);
        f.wizard->Loaded();
        QCOMPARE(picture->parentWidget(), f.pages[0]);
        f.wizard->GoNext();
        QCOMPARE(picture->parentWidget(), f.pages[1]);
    }

    void buttonsRunTheirActions() {
        Fixture f(2);
        int helps = 0, cancels = 0;
        f.wizard->OnHelp = [&](TWizardPage* p) {
            QCOMPARE(p, f.pages[0]);
            ++helps;
        };
        f.wizard->OnCancel = [&](TWizardPage*) { ++cancels; };
        f.wizard->Loaded();
        f.wizard->Button(wbHelp)->click();
        f.wizard->Button(wbCancel)->click();
        QCOMPARE(helps, 1);
        QCOMPARE(cancels, 1);
        f.wizard->Button(wbNext)->click();
        QCOMPARE(f.wizard->ActivePage(), f.pages[1]);
        f.wizard->Button(wbBack)->click();
        QCOMPARE(f.wizard->ActivePage(), f.pages[0]);
    }
};

QTEST_MAIN(TestWizard)
#include "test_Wizard.moc"
