#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "LeakCheck.h"
#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"
#include "ui/RuleEditor.h"
#include "ui/corvedit.h"

using namespace ui;
using engine::TAllowedFiles;

namespace {

struct Editor {
    engine::TAllowedFilesList rules;
    bool changed = false;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TRuleEditor* editor;
    std::vector<std::string> iconNames;

    explicit Editor(engine::TAllowedFilesList initial = {}) : rules(std::move(initial)) {
        editor = new TRuleEditor(window.get(), rules, changed,
                                 [this]() -> platform::Dialogs& { return dialogs; });
        editor->iconSource = [this](const std::string&, const std::string& name) {
            iconNames.push_back(name);
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::red);
            return QIcon(pixmap);
        };
        editor->resize(534, 273);
        window->show();
        editor->FillListFromRules();
        editor->RefreshIcons();
    }
    void select(int row) {
        editor->PTListView1->setCurrentRow(row);
        editor->PTListView1Click();
    }
    QStringList items() const {
        QStringList r;
        for (int i = 0; i < editor->PTListView1->count(); ++i)
            r << editor->PTListView1->item(i)->text();
        return r;
    }
    QStringList patterns() const {
        QStringList r;
        for (const auto& rule : rules) r << QString::fromStdString(rule.pattern());
        return r;
    }
};

TAllowedFiles rule(const char* name, const char* ext, int kind = 0, int upper = -1,
                   int lower = -1) {
    TAllowedFiles r;
    r.sName = name;
    r.sExtension = ext;
    r.iFileKind = static_cast<std::uint8_t>(kind);
    r.iSizeGreater = upper;
    r.iSizeLesser = lower;
    return r;
}

}  // namespace

class TestRuleEditor : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void ruleWithLimitsIsShownWithThem() {
        Editor e({rule("*", ".txt"), rule("*", ".doc", 0, 500, 10)});
        e.select(1);
        QCOMPARE(e.editor->txtFileName->text(), QStringLiteral("*.doc"));
        QVERIFY(e.editor->optIsTextFile->isChecked());
        QVERIFY(e.editor->optFileSizeLimit->isChecked());
        QCOMPARE(e.editor->txtFileSizeUpper->text(), QStringLiteral("500"));
        QCOMPARE(e.editor->txtFileSizeLower->text(), QStringLiteral("10"));
        QVERIFY(e.editor->txtFileSizeUpper->isEnabled());
    }

    void ruleWithoutLimitsShowsEmptyDisabledGreyBoxes() {
        Editor e({rule("*", ".doc", 0, 500, 10), rule("*", ".gif", 1)});
        e.select(0);
        e.select(1);
        QVERIFY(e.editor->optIsOtherFile->isChecked());
        QVERIFY(!e.editor->optFileSizeLimit->isChecked());
        QVERIFY(e.editor->txtFileSizeUpper->text().isEmpty());
        QVERIFY(e.editor->txtFileSizeLower->text().isEmpty());
        QVERIFY(!e.editor->txtFileSizeUpper->isEnabled());
        QVERIFY(!e.editor->txtFileSizeLower->isEnabled());
        QCOMPARE(e.editor->lblUpper->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    }

    void duplicatesResolveToTheLaterRule() {
        Editor e({rule("*", ".txt", 0), rule("*", ".gif", 1), rule("*", ".txt", 2, 9, 1)});
        e.select(0);
        // The later "*.txt" (limits 9 and 1) is shown.
        QCOMPARE(e.editor->txtFileSizeUpper->text(), QStringLiteral("9"));
        QCOMPARE(e.editor->GetListIndex(QStringLiteral("*.txt")), 2);
        QCOMPARE(e.editor->GetListIndex(QStringLiteral("*.none")), 0);
        e.editor->Button1Click();
        QCOMPARE(e.patterns(), (QStringList{"*.txt", "*.gif"}));
        QCOMPARE(int(e.rules[0].iFileKind), 0);
        QCOMPARE(e.items(), (QStringList{"*.txt", "*.gif"}));
    }

    void applyingAnEditMovesTheRuleToTheEnd() {
        Editor e({rule("*", ".txt"), rule("*", ".htm"), rule("*", ".gif", 1)});
        e.select(0);
        QTest::keyClicks(e.editor->txtFileName, QStringLiteral("x"));
        QVERIFY(e.changed);
        QVERIFY(e.editor->btnApplyFileChanges->isEnabled());
        e.editor->btnApplyFileChanges->click();
        QVERIFY(!e.changed);
        QVERIFY(!e.editor->btnApplyFileChanges->isEnabled());
        QCOMPARE(e.patterns(), (QStringList{"*.htm", "*.gif", "*.txtx"}));
        QCOMPARE(e.items(), e.patterns());
        QCOMPARE(e.rules.back().sName, std::string("*"));
        QCOMPARE(e.rules.back().sExtension, std::string(".txtx"));
        QCOMPARE(int(e.rules.back().iFileKind), 0);
    }

    void otherFileTypeIsStoredAsKindTwo() {
        Editor e({rule("*", ".txt")});
        e.select(0);
        QTest::mouseClick(e.editor->optIsOtherFile, Qt::LeftButton);
        QVERIFY(e.changed);
        e.editor->btnApplyFileChanges->click();
        QCOMPARE(int(e.rules.back().iFileKind), 2);
    }

    void addFileReplacesTheSelectedRuleNewFileAdds() {
        Editor e({rule("*", ".txt"), rule("*", ".gif", 1)});
        e.select(0);
        e.dialogs.inputAnswers.push_back(std::string("*.doc"));
        e.editor->AddFileType1Click();
        QCOMPARE(e.dialogs.calls.back().caption, std::string("Harvex"));
        QCOMPARE(e.dialogs.calls.back().text, std::string("Enter new filename, eg: *.doc, p*.mp3"));
        QCOMPARE(e.editor->txtFileName->text(), QStringLiteral("*.doc"));
        QVERIFY(e.editor->btnApplyFileChanges->isEnabled());
        QVERIFY(!e.changed);
        e.editor->btnApplyFileChanges->click();
        QCOMPARE(e.patterns(), (QStringList{"*.gif", "*.doc"}));

        e.dialogs.inputAnswers.push_back(std::string("p*.mp3"));
        e.editor->Button2Click();
        QCOMPARE(e.editor->SelectedIndex(), -1);
        e.editor->btnApplyFileChanges->click();
        QCOMPARE(e.patterns(), (QStringList{"*.gif", "*.doc", "p*.mp3"}));
        QCOMPARE(e.rules.back().sName, std::string("p*"));
    }

    void cancelledNewFileGivesAnEmptyRule() {
        Editor e;
        e.dialogs.inputAnswers.push_back(std::nullopt);
        e.editor->Button2Click();
        e.editor->btnApplyFileChanges->click();
        QCOMPARE(int(e.rules.size()), 1);
        QCOMPARE(e.rules[0].pattern(), std::string());
        QCOMPARE(e.items(), QStringList{QString()});
    }

    void sizeBoundsAreKeptOnlyWhenLowerIsBelowUpper_data() {
        QTest::addColumn<bool>("limits");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<int>("expectedUpper");
        QTest::addColumn<int>("expectedLower");
        QTest::newRow("kept") << true << "500"
                              << "10" << 500 << 10;
        QTest::newRow("equal") << true << "10"
                               << "10" << -1 << -1;
        QTest::newRow("zero and zero") << true << "0"
                                       << "0" << -1 << -1;
        QTest::newRow("lower above") << true << "5"
                                     << "10" << -1 << -1;
        QTest::newRow("lower empty") << true << "5"
                                     << "" << -1 << -1;
        QTest::newRow("pasted garbage") << true << "5x"
                                        << "1" << -1 << -1;
    }
    void sizeBoundsAreKeptOnlyWhenLowerIsBelowUpper() {
        QFETCH(bool, limits);
        QFETCH(QString, upper);
        QFETCH(QString, lower);
        QFETCH(int, expectedUpper);
        QFETCH(int, expectedLower);
        Editor e;
        e.editor->txtFileName->setText(QStringLiteral("*.zip"));
        e.editor->optFileSizeLimit->setChecked(limits);
        e.editor->optFileSizeLimitClick();
        e.editor->txtFileSizeUpper->setText(upper);
        e.editor->txtFileSizeLower->setText(lower);
        e.editor->btnApplyFileChangesClick();
        QCOMPARE(int(e.rules.size()), 1);
        QCOMPARE(int(e.rules[0].iSizeGreater), expectedUpper);
        QCOMPARE(int(e.rules[0].iSizeLesser), expectedLower);
        e.select(0);
        QCOMPARE(e.editor->optFileSizeLimit->isChecked(), expectedUpper != -1);
    }

    void patternWithoutDotAndItsScratchName() {
        Editor e;
        e.iconNames.clear();
        e.editor->txtFileName->setText(QStringLiteral("readme"));
        e.editor->btnApplyFileChangesClick();
        QCOMPARE(e.rules[0].sName, std::string());
        QCOMPARE(e.rules[0].sExtension, std::string("readme"));
        QVERIFY(std::find(e.iconNames.begin(), e.iconNames.end(), "~qx1201.readme") !=
                e.iconNames.end());
    }

    void iconsAreSharedPerExtensionAndStarDotStarUsesTheExtra() {
        Editor e({rule("*", ".txt"), rule("a*", ".txt"), rule("*", ".*", 3), rule("*", ".gif", 1)});
        QCOMPARE(int(e.editor->imglstComplete.size()), 3);  // extra, .txt, .gif
        QCOMPARE(e.editor->ItemImageIndex(0), 1);
        QCOMPARE(e.editor->ItemImageIndex(1), 1);
        QCOMPARE(e.editor->ItemImageIndex(2), 0);
        QCOMPARE(e.editor->ItemImageIndex(3), 2);
        QCOMPARE(e.iconNames, (std::vector<std::string>{"~qx1201..txt", "~qx1201..gif"}));
    }

    void clickingAnotherRuleDropsTypedChanges() {
        Editor e({rule("*", ".txt"), rule("*", ".gif", 1)});
        e.select(0);
        QTest::keyClicks(e.editor->txtFileName, QStringLiteral("zz"));
        QVERIFY(e.editor->btnApplyFileChanges->isEnabled());
        e.select(1);
        QVERIFY(!e.changed);
        QVERIFY(!e.editor->btnApplyFileChanges->isEnabled());
        QCOMPARE(e.editor->txtFileName->text(), QStringLiteral("*.gif"));
        QCOMPARE(e.patterns(), (QStringList{"*.txt", "*.gif"}));
    }

    void keysInTheSizeBoxesCountAsChangesEvenWhenDiscarded() {
        Editor e({rule("*", ".txt", 0, 50, 1)});
        e.select(0);
        QVERIFY(!e.changed);
        e.editor->txtFileSizeUpper->setFocus();
        QTest::keyClick(e.editor->txtFileSizeUpper, Qt::Key_A);
        QVERIFY(e.changed);
        QCOMPARE(e.editor->txtFileSizeUpper->text(), QStringLiteral("50"));
    }

    void arrowKeysInTheListShowTheNewSelection() {
        Editor e({rule("*", ".txt"), rule("*", ".gif", 1)});
        e.select(0);
        e.editor->PTListView1->setFocus();
        QTest::keyClick(e.editor->PTListView1, Qt::Key_Down);
        QCOMPARE(e.editor->txtFileName->text(), QStringLiteral("*.gif"));
    }

    // After Delete File (button or menu) and after Apply nothing is selected,
    // so a second Delete removes nothing the user did not choose.
    void deleteAndApplyLeaveNothingSelected_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("afterAction");
        QTest::newRow("Delete File button") << "button" << QStringList{"*.txt", "*.jpg", "*.gif"};
        QTest::newRow("Delete File menu") << "menu" << QStringList{"*.txt", "*.jpg", "*.gif"};
        QTest::newRow("Apply") << "apply" << QStringList{"*.txt", "*.jpg", "*.gif", "*.aspx"};
    }
    void deleteAndApplyLeaveNothingSelected() {
        QFETCH(QString, action);
        QFETCH(QStringList, afterAction);
        Editor e(
            {rule("*", ".txt"), rule("*", ".asp"), rule("*", ".jpg", 1), rule("*", ".gif", 1)});
        QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
        QListWidget* list = e.editor->PTListView1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        QCOMPARE(e.editor->txtFileName->text(), QStringLiteral("*.asp"));
        if (action == QLatin1String("button")) {
            QTest::mouseClick(e.editor->Button1, Qt::LeftButton);
        } else if (action == QLatin1String("menu")) {
            e.editor->DeleteFile1->trigger();
        } else {
            QTest::keyClicks(e.editor->txtFileName, QStringLiteral("x"));
            QTest::mouseClick(e.editor->btnApplyFileChanges, Qt::LeftButton);
        }
        QCOMPARE(e.patterns(), afterAction);
        QCOMPARE(e.items(), afterAction);
        QCOMPARE(e.editor->SelectedIndex(), -1);
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(e.editor->txtFileName->text().isEmpty());

        QTest::mouseClick(e.editor->Button1, Qt::LeftButton);
        QCOMPARE(e.patterns(), afterAction);
        QCOMPARE(e.items(), afterAction);
    }

    // Deleting the later of two equal patterns leaves the earlier one unselected.
    void deletingADuplicateLeavesNothingSelected() {
        Editor e({rule("*", ".txt", 0), rule("*", ".gif", 1), rule("*", ".txt", 2, 9, 1)});
        e.select(0);
        e.editor->Button1Click();
        QCOMPARE(e.editor->SelectedIndex(), -1);
        e.editor->Button1Click();
        QCOMPARE(e.patterns(), (QStringList{"*.txt", "*.gif"}));
    }

    void deleteWithoutSelectionDoesNothing() {
        Editor e({rule("*", ".txt")});
        e.editor->PTListView1->clearSelection();
        e.editor->Button1Click();
        QCOMPARE(int(e.rules.size()), 1);
        e.editor->UpdateInfoBox();
        QVERIFY(e.editor->txtFileName->text().isEmpty());
    }
};

QTEST_MAIN(TestRuleEditor)
#include "test_RuleEditor.moc"
