#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "LeakCheck.h"
#include "engine/StatusLog.h"
#include "engine/wsmain.h"
#include "mail/form/fEmail.h"
#include "platform/Dialogs.h"
#include "testing/ScriptedDialogs.h"
#include "ui/Animate.h"
#include "ui/RuleEditor.h"
#include "ui/Wizard.h"
#include "ui/corvedit.h"
#include "ui/fpopdet.h"
#include "ui/wsmain.h"

using namespace ui;
using platform::ScriptedDialogs;

namespace {

constexpr const char* kBlank = "One or more of the text boxes have been left blank.";
constexpr const char* kInvalid = "The Drive you have specified is invalid. Please specify another.";
constexpr const char* kHttp = "The Web site you are downloading must start with \"http://\" or \"https://\"";
constexpr const char* kQuotaTooSmall =
    "The download limit you have specified is too small. Please specify at least 1 megabyte.";

struct Window {
    ScriptedDialogs dialogs;
    std::unique_ptr<TFormHVXLoader> form = std::make_unique<TFormHVXLoader>();
    std::vector<std::string> iconNames;
    Window() {
        form->SetDialogs(&dialogs);
        form->RuleEditor->iconSource = [this](const std::string&, const std::string& name) {
            iconNames.push_back(name);
            QPixmap pixmap(16, 16);
            pixmap.fill(QColor::fromRgb(qHash(QString::fromStdString(name)) & 0xffffff));
            return QIcon(pixmap);
        };
        form->show();
    }
    TWizardPage* page() const { return form->Wizard1->ActivePage(); }
    void next() { form->Wizard1->Button(wbNext)->click(); }
    void back() { form->Wizard1->Button(wbBack)->click(); }
    // Pages 1 and 2 with valid input.
    void toPage3(const QString& directory) {
        next();
        form->txtStartURL->setText(QStringLiteral("http://www.harvex.example/"));
        form->txtSaveDirectory->setText(directory);
        next();
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& call : dialogs.calls)
            if (call.type == ScriptedDialogs::Call::Type::Message) texts.push_back(call.text);
        return texts;
    }
    std::vector<std::string> patterns() const {
        std::vector<std::string> result;
        for (const auto& rule : form->Engine().Rules()) result.push_back(rule.pattern());
        return result;
    }
    QStringList items() const {
        QStringList result;
        for (int i = 0; i < form->RuleEditor->PTListView1->count(); ++i)
            result << form->RuleEditor->PTListView1->item(i)->text();
        return result;
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;

private slots:
    void cleanup() {
        QVERIFY2(leakedTopLevels().isEmpty(), qPrintable(leakedTopLevels().join(", ")));
    }

    void windowAndControlsCarryTheirNames() {
        Window w;
        QCOMPARE(w.form->objectName(), QStringLiteral("FormHVXLoader"));
        QCOMPARE(w.form->Caption(), QStringLiteral("Harvex (Version 1.25)"));
        QCOMPARE(w.form->ClientArea()->size(), QSize(534, 353));
        const char* names[] = {"Wizard1",
                               "WizardPage1",
                               "WizardPage6",
                               "PaintBox1",
                               "txtStartURL",
                               "txtSaveDirectory",
                               "SpeedButton1",
                               "optDLoadTextFiles",
                               "optDloadGraphics",
                               "optDloadEverything",
                               "rBtnYes",
                               "rBtnNo",
                               "optStayinPath",
                               "optDownloadNoSizeFiles",
                               "optOfflineCopy",
                               "optStayinDomain",
                               "optDiskQuote",
                               "spnDiskQuota",
                               "Panel1",
                               "txtStatus",
                               "RichEdit1",
                               "lblFilestoProcess",
                               "lblTotalDownloadSize",
                               "animProgress",
                               "ProgressBar1",
                               "btnStop",
                               "btnHelp",
                               "btnFnlExit",
                               "aviEmail",
                               "PTListView1",
                               "pnlFileProperties",
                               "txtFileName",
                               "optIsTextFile",
                               "optIsOtherFile",
                               "optFileSizeLimit",
                               "txtFileSizeUpper",
                               "txtFileSizeLower",
                               "btnApplyFileChanges",
                               "Button2",
                               "Button1"};
        for (const char* name : names)
            QVERIFY2(w.form->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(w.form->btnHelp->geometry(), QRect(8, 321, 75, 25));
        QCOMPARE(w.form->btnFnlExit->geometry(), QRect(368, 321, 75, 25));
        QCOMPARE(w.form->Wizard1->Button(wbNext)->geometry().topLeft(), QPoint(368, 8));
        QCOMPARE(w.form->Wizard1->Button(wbHelp)->x(), 8);
    }

    void defaultsOfTheSettings() {
        Window w;
        QCOMPARE(w.form->StartURL(), std::string("http://"));
        QCOMPARE(w.form->SaveDirectory(), std::string());
        QVERIFY(w.form->DLoadTextFiles() && w.form->DloadGraphics() && !w.form->DloadEverything());
        QVERIFY(!w.form->OwnFileTypes());
        QVERIFY(w.form->StayinPath() && w.form->StayinDomain() && w.form->DownloadNoSizeFiles());
        QVERIFY(!w.form->DiskQuote());
        QVERIFY(!w.form->OfflineCopy());
        QCOMPARE(w.form->DiskQuota(), 0);
        QVERIFY(!w.form->spnDiskQuota->isEnabled());
        QVERIFY(w.form->optStayinDomain->isHidden());
        QVERIFY(w.form->btnFnlExit->isHidden());
        QVERIFY(w.form->aviEmail->isHidden());
        QCOMPARE(w.form->Engine().TextTypes(),
                 std::string("*.txt,*.htm,*.html,*.shtml,*.shtm,*.asp,"));
    }

    void firstPageHasOnlyCancelAndNext() {
        Window w;
        QCOMPARE(w.page(), w.form->WizardPage1);
        QVERIFY(w.form->Wizard1->ButtonsEnabled() == TWizardButtons({wbCancel, wbNext}));
        QVERIFY(!w.form->Wizard1->Button(wbBack)->isEnabled());
        QVERIFY(w.form->Wizard1->Button(wbFinish)->isHidden());
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage2);
        QVERIFY(w.form->Wizard1->Button(wbBack)->isEnabled());
        QVERIFY(!w.form->Wizard1->Button(wbHelp)->isEnabled());
    }

    void pathWithoutOwnTypesSkipsPage4() {
        Window w;
        w.toPage3(tmp_.path());
        QCOMPARE(w.page(), w.form->WizardPage3);
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage5);
        QCOMPARE(w.form->Wizard1->Button(wbNext)->text(), QStringLiteral("&Finish"));
        w.back();
        QCOMPARE(w.page(), w.form->WizardPage3);
        QCOMPARE(w.form->Wizard1->Button(wbNext)->text(), QStringLiteral("&Next  >"));
    }

    void pathWithOwnTypesVisitsPage4AndBackEmptiesTheTable() {
        Window w;
        w.toPage3(tmp_.path());
        w.form->rBtnYes->setChecked(true);
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage4);
        QCOMPARE(w.items().size(), 10);
        QVERIFY(!w.form->RuleEditor->btnApplyFileChanges->isEnabled());
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage5);
        w.back();
        QCOMPARE(w.page(), w.form->WizardPage4);
        w.back();
        QCOMPARE(w.page(), w.form->WizardPage3);
        QVERIFY(w.form->Engine().Rules().empty());
        QCOMPARE(w.items().size(), 0);
    }

    void page2Messages_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QStringList>("expected");
        const QString dir = QDir::tempPath();
        QTest::newRow("empty url") << "" << dir << QStringList{kBlank, kHttp};
        QTest::newRow("both empty") << ""
                                    << "" << QStringList{kBlank, kHttp};
        QTest::newRow("empty directory") << "http://h.example/"
                                         << "" << QStringList{kBlank};
        QTest::newRow("default url passes") << "http://" << dir << QStringList{};
        QTest::newRow("capital scheme passes") << "HTTP://h.example/" << dir << QStringList{};
        QTest::newRow("ftp") << "ftp://h.example/" << dir << QStringList{kHttp};
        QTest::newRow("relative directory") << "http://h.example/"
                                            << "web" << QStringList{kInvalid};
        QTest::newRow("drive letter") << "http://h.example/"
                                      << "C:\\Web" << QStringList{kInvalid};
        QTest::newRow("invalid and ftp") << "ftp://x"
                                         << "web" << QStringList{kInvalid, kHttp};
        QTest::newRow("home folder") << "http://h.example/"
                                     << "~/harvex-site" << QStringList{};
    }
    void page2Messages() {
        QFETCH(QString, url);
        QFETCH(QString, directory);
        QFETCH(QStringList, expected);
        Window w;
        w.next();
        w.form->txtStartURL->setText(url);
        w.form->txtSaveDirectory->setText(directory);
        w.next();
        QStringList shown;
        for (const auto& text : w.messages()) shown << QString::fromStdString(text);
        QCOMPARE(shown, expected);
        QCOMPARE(w.page(), expected.isEmpty() ? w.form->WizardPage3 : w.form->WizardPage2);
        if (expected.isEmpty()) QVERIFY(w.form->Engine().DiskFree() > 0);
    }

    // A save folder that cannot be created or take files is refused on page 2,
    // before a whole copy is fetched for nothing.
    void page2RefusesAFolderThatCannotBeWritten_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("under a file") << "under a file";
        QTest::newRow("read-only folder") << "read-only folder";
        QTest::newRow("pseudo file system") << "pseudo file system";
    }
    void page2RefusesAFolderThatCannotBeWritten() {
        QFETCH(QString, kind);
        QTemporaryDir scratch;
        QString directory;
        if (kind == QLatin1String("under a file")) {
            QFile notes(scratch.path() + QStringLiteral("/notes.txt"));
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("notes\n");
            notes.close();
            directory = notes.fileName() + QStringLiteral("/copy");
        } else if (kind == QLatin1String("read-only folder")) {
            if (::geteuid() == 0)
                QSKIP(
                    "Running as root, who may write into any folder: run the tests as a "
                    "user to check a read-only folder.");
            const QString folder = scratch.path() + QStringLiteral("/locked");
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            directory = folder + QStringLiteral("/copy");
        } else {
            directory = QStringLiteral("/proc/harvex-copy");
        }
        Window w;
        w.next();
        w.form->txtStartURL->setText(QStringLiteral("http://www.harvex.example/"));
        w.form->txtSaveDirectory->setText(directory);
        w.next();
        const std::vector<std::string> shown = w.messages();
        QCOMPARE(int(shown.size()), 1);
        const QString text = QString::fromStdString(shown[0]);
        QVERIFY2(text.startsWith(QStringLiteral(
                     "The Directory you have specified can not be created or written to (")) &&
                     text.endsWith(QStringLiteral("). Please specify another.")),
                 qPrintable(text));
        QCOMPARE(w.dialogs.calls.back().kind, platform::DialogKind::Error);
        QCOMPARE(w.page(), w.form->WizardPage2);
        QVERIFY(!QFileInfo::exists(directory));
    }

    void saveDirectoryKeepsItsCaseAndHomeIsExpanded() {
        Window w;
        w.next();
        w.form->txtSaveDirectory->setText(QStringLiteral("/tmp/Web"));
        w.next();
        QCOMPARE(w.form->txtSaveDirectory->text(), QStringLiteral("/tmp/Web"));
        w.back();
        w.form->txtSaveDirectory->setText(QStringLiteral("~/Site"));
        w.next();
        QCOMPARE(w.form->txtSaveDirectory->text(), QDir::homePath() + QStringLiteral("/Site"));
    }

    void folderButtonFillsTheDirectory() {
        Window w;
        w.dialogs.browseAnswers.push_back(std::string("/tmp/chosen"));
        w.form->SpeedButton1->click();
        QCOMPARE(w.form->txtSaveDirectory->text(), QStringLiteral("/tmp/chosen"));
        QCOMPARE(w.dialogs.calls.back().text, std::string("Browse for Folder"));
        w.form->SpeedButton1->click();  // cancelled: unchanged
        QCOMPARE(w.form->txtSaveDirectory->text(), QStringLiteral("/tmp/chosen"));
    }

    void page3Rules_data() {
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("graphics");
        QTest::addColumn<bool>("everything");
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<int>("kind");
        QTest::newRow("graphics only")
            << false << true << false << QStringList{"*.jpg", "*.bmp", "*.jpeg", "*.gif"} << 1;
        QTest::newRow("nothing") << false << false << false << QStringList{} << -1;
        QTest::newRow("everything") << false << false << true << QStringList{"*.*"} << 3;
        QTest::newRow("both, text first")
            << true << true << false << QStringList{"*.txt", "*.htm", "*.html", "*.shtml", "*.shtm",
                                                    "*.asp", "*.jpg", "*.bmp",  "*.jpeg",  "*.gif"}
            << 0;
    }
    void page3Rules() {
        QFETCH(bool, text);
        QFETCH(bool, graphics);
        QFETCH(bool, everything);
        QFETCH(QStringList, patterns);
        QFETCH(int, kind);
        Window w;
        w.toPage3(tmp_.path());
        w.form->optDLoadTextFiles->setChecked(text);
        w.form->optDloadGraphics->setChecked(graphics);
        w.form->optDloadEverything->setChecked(everything);
        w.next();
        QStringList got;
        for (const auto& p : w.patterns()) got << QString::fromStdString(p);
        QCOMPARE(got, patterns);
        QCOMPARE(w.items(), patterns);
        if (kind >= 0) QCOMPARE(int(w.form->Engine().Rules().front().iFileKind), kind);
    }

    void everythingKeepsTextAndGraphicsChecked() {
        Window w;
        w.toPage3(tmp_.path());
        w.form->optDloadEverything->click();
        QVERIFY(w.form->optDloadEverything->isChecked());
        w.form->optDLoadTextFiles->click();  // tries to uncheck
        QVERIFY(w.form->optDLoadTextFiles->isChecked());
        w.form->optDloadGraphics->click();
        QVERIFY(w.form->optDloadGraphics->isChecked());
    }

    void leavingPage3AgainDropsEditsOfPage4() {
        Window w;
        w.toPage3(tmp_.path());
        w.form->rBtnYes->setChecked(true);
        w.next();
        w.form->RuleEditor->PTListView1->setCurrentRow(0);
        w.form->RuleEditor->Button1Click();
        QCOMPARE(w.items().size(), 9);
        w.back();
        w.next();
        QCOMPARE(w.items().size(), 10);
    }

    void quotaBoxResetsTheQuota() {
        Window w;
        w.form->optDiskQuote->click();
        QVERIFY(w.form->spnDiskQuota->isEnabled());
        w.form->spnDiskQuota->setValue(12);
        w.form->optDiskQuote->click();
        QVERIFY(!w.form->spnDiskQuota->isEnabled());
        QCOMPARE(w.form->DiskQuota(), 0);
        // The engine may double the quota past the arrows' end.
        w.form->SetDiskQuota(16000);
        QCOMPARE(w.form->DiskQuota(), 16000);
    }

    void quotaIsSetByTheArrowsOnly() {
        Window w;
        w.form->optDiskQuote->click();
        w.form->spnDiskQuota->setFocus();
        QTest::keyClicks(w.form->spnDiskQuota, QStringLiteral("55"));
        QCOMPARE(w.form->DiskQuota(), 0);
        QTest::keyClick(w.form->spnDiskQuota, Qt::Key_Up);
        QCOMPARE(w.form->DiskQuota(), 1);
    }

    void offlineCopyBoxIsTheEngineSetting() {
        Window w;
        QVERIFY(!w.form->optOfflineCopy->isChecked());
        w.form->optOfflineCopy->click();
        QVERIFY(w.form->OfflineCopy());
        // Below the page's last line and above the button bar.
        QVERIFY(w.form->optOfflineCopy->geometry().top() >= 266);
        QVERIFY(w.form->optOfflineCopy->geometry().bottom() < 353 - 40);
    }

    // Finish on page 5 with the limit box checked needs at least 1 MB.
    void quotaBelowOneMegabyteIsRefused_data() {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("arrowsUp");
        QTest::addColumn<bool>("refused");
        QTest::newRow("checked, 0 MB") << true << 0 << true;
        QTest::newRow("checked, 1 MB") << true << 1 << false;
        QTest::newRow("checked, 3 MB") << true << 3 << false;
        QTest::newRow("unchecked") << false << 0 << false;
    }
    void quotaBelowOneMegabyteIsRefused() {
        QFETCH(bool, checked);
        QFETCH(int, arrowsUp);
        QFETCH(bool, refused);
        Window w;
        w.toPage3(tmp_.path());
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage5);
        if (checked) QTest::mouseClick(w.form->optDiskQuote, Qt::LeftButton);
        QCOMPARE(w.form->DiskQuote(), checked);
        w.form->spnDiskQuota->setFocus();
        for (int i = 0; i < arrowsUp; ++i) QTest::keyClick(w.form->spnDiskQuota, Qt::Key_Up);
        bool ran = false;
        w.form->JobRunner = [&](engine::THvxEngine&) { ran = true; };
        w.next();  // reads "&Finish"
        QCOMPARE(ran, !refused);
        QCOMPARE(w.page(), refused ? w.form->WizardPage5 : w.form->WizardPage6);
        const std::vector<std::string> expected =
            refused ? std::vector<std::string>{kQuotaTooSmall} : std::vector<std::string>{};
        QCOMPARE(w.messages(), expected);
        if (refused) {
            QCOMPARE(w.dialogs.calls.back().kind, platform::DialogKind::Error);
            // Raised to 1 MB, the same press goes on to the job.
            QTest::keyClick(w.form->spnDiskQuota, Qt::Key_Up);
            w.next();
            QVERIFY(ran);
            QCOMPARE(w.form->DiskQuota(), 1);
        }
    }

    void nextToPage2FocusesTheStartAddress() {
        Window w;
        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        QTest::mouseClick(w.form->Wizard1->Button(wbNext), Qt::LeftButton);
        QCOMPARE(w.page(), w.form->WizardPage2);
        QCOMPARE(QApplication::focusWidget(), w.form->txtStartURL);
        // Typing goes on after "http://".
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("www.harvex.example/"));
        QCOMPARE(w.form->txtStartURL->text(), QStringLiteral("http://www.harvex.example/"));
    }

    void page1ParagraphsFlowWhole() {
        Window w;
        QStringList texts;
        for (QLabel* label : w.form->WizardPage1->findChildren<QLabel*>())
            if (label->wordWrap()) texts << label->text();
        QCOMPARE(texts.size(), 3);
        QVERIFY(
            texts[1].contains(QStringLiteral("through the Internet, downloading files as it "
                                             "goes. It reassembles")));
        QVERIFY(
            texts[2].endsWith(QStringLiteral("Web site. Should you want to define which files "
                                             "you want to download (such as images only) you "
                                             "can set these parameters as you go.")));
        // The paragraphs follow one another without overlapping.
        QList<QLabel*> labels;
        for (QLabel* label : w.form->WizardPage1->findChildren<QLabel*>())
            if (label->wordWrap()) labels << label;
        for (int i = 0; i + 1 < labels.size(); ++i)
            QVERIFY(labels[i]->geometry().bottom() < labels[i + 1]->y());
        for (QLabel* label : labels)
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
    }

    // The counts show whole up to a 10 TB copy in kilobytes and a queue as
    // long as a list can count, without running into their neighbours.
    void statusLabelsHoldTheirLargestValues() {
        Window w;
        const std::int64_t tenTB = std::int64_t(10) * 1024 * 1024 * 1024 * 1024;
        w.form->SetTotalSizeLabel(engine::TStatusLog::totalSizeLabel(tenTB));
        w.form->SetQueuedLabel("Queued Files: 2147483647");
        QTRY_COMPARE(w.form->lblTotalDownloadSize->text(),
                     QStringLiteral("Total Size of Files Downloaded: 10737418240 KB"));
        QTRY_COMPARE(w.form->lblFilestoProcess->text(), QStringLiteral("Queued Files: 2147483647"));
        const QList<QWidget*> neighbours = {w.form->RichEdit1, w.form->animProgress,
                                            w.form->ProgressBar1, w.form->btnStop,
                                            w.form->txtStatus};
        for (QLabel* label : {w.form->lblFilestoProcess, w.form->lblTotalDownloadSize}) {
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(label->text()));
            QVERIFY(metrics.height() <= label->contentsRect().height());
            QVERIFY(w.form->Panel1->rect().contains(label->geometry()));
            for (QWidget* other : neighbours)
                QVERIFY2(!label->geometry().intersects(other->geometry()),
                         qPrintable(other->objectName()));
        }
        QVERIFY(!w.form->lblFilestoProcess->geometry().intersects(
            w.form->lblTotalDownloadSize->geometry()));
    }

    void logPaneIsReadOnlyFromTheStart() {
        Window w;
        QVERIFY(w.form->RichEdit1->isReadOnly());
        w.form->AppendLogLine("Saved http://h.example/");
        w.form->RichEdit1->setFocus();
        QTest::keyClicks(w.form->RichEdit1, QStringLiteral("typed"));
        QTest::keyClick(w.form->RichEdit1, Qt::Key_Return);
        QTest::keyClick(w.form->RichEdit1, Qt::Key_Backspace);
        QCOMPARE(w.form->RichEdit1->toPlainText(), QStringLiteral("Saved http://h.example/"));
    }

    // New lines are followed at the bottom; a reader who scrolled up stays put
    // until they scroll back down.
    void logPaneFollowsOnlyAtTheBottom() {
        Window w;
        w.form->Wizard1->SetActivePage(w.form->WizardPage6);
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QScrollBar* bar = w.form->RichEdit1->verticalScrollBar();
        // Lines added within one paint interval are laid out and followed
        // together when it ends.
        for (int i = 0; i < 100; ++i) w.form->AppendLogLine("Saved line " + std::to_string(i));
        QTRY_VERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(bar->maximum() / 3);
        const int reading = bar->value();
        const int oldMaximum = bar->maximum();
        for (int i = 0; i < 50; ++i) w.form->AppendLogLine("More line " + std::to_string(i));
        QTRY_VERIFY(bar->maximum() > oldMaximum);
        QCOMPARE(bar->value(), reading);

        bar->setValue(bar->maximum());
        const int before = bar->maximum();
        w.form->AppendLogLine("Last line");
        QTRY_VERIFY(bar->maximum() > before);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(w.form->RichEdit1->toPlainText().endsWith(QStringLiteral("\nLast line")));
    }

    void stayInPathChecksStayInDomain() {
        Window w;
        w.form->optStayinDomain->setChecked(false);
        w.form->optStayinPath->click();  // unchecks: nothing else changes
        QVERIFY(!w.form->optStayinDomain->isChecked());
        w.form->optStayinPath->click();
        QVERIFY(w.form->optStayinDomain->isChecked());
    }

    void cancelBeforeFinishClosesTheWindow() {
        Window w;
        w.next();
        w.form->Wizard1->Button(wbCancel)->click();
        QVERIFY(!w.form->isVisible());
        QVERIFY(w.form->Engine().StopRequested());
        QVERIFY(w.form->Wizard1->ButtonsEnabled() == TWizardButtons());
    }

    void cancelDuringATransferOnlyRequestsTheStop() {
        Window w;
        w.form->TransferBusy = [] { return true; };
        w.form->Wizard1->Button(wbCancel)->click();
        QVERIFY(w.form->isVisible());
        QVERIFY(w.form->Engine().StopRequested());
        QVERIFY(!w.form->Wizard1->Button(wbNext)->isEnabled());
    }

    void escapeClosesAtOnceAndEnterIsNext() {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QTest::keyClick(w.form->Wizard1->Button(wbNext), Qt::Key_Return);
        QCOMPARE(w.page(), w.form->WizardPage2);
        w.form->txtStartURL->setFocus();
        QTest::keyClick(w.form->txtStartURL, Qt::Key_Escape);
        QVERIFY(!w.form->isVisible());
        QVERIFY(w.dialogs.calls.empty());
    }

    void finishShowsTheStatusPageAndRunsTheJob() {
        Window w;
        w.toPage3(tmp_.path());
        w.next();
        QCOMPARE(w.page(), w.form->WizardPage5);
        bool ran = false;
        w.form->JobRunner = [&](engine::THvxEngine& engine) {
            ran = true;
            QCOMPARE(&engine, &w.form->Engine());
            QVERIFY(w.form->JobRunning());
            QCOMPARE(w.page(), w.form->WizardPage6);
            QVERIFY(w.form->Wizard1->ButtonsEnabled() == TWizardButtons({wbCancel}));
            QVERIFY(w.form->animProgress->Active());
        };
        w.next();  // reads "&Finish"
        QVERIFY(ran);
        QVERIFY(!w.form->JobRunning());
        QCOMPARE(w.form->Wizard1->History().Count(), 3);
    }

    void statusPageShowsWhatTheEngineWrites() {
        Window w;
        // The fields show the latest value with the window's next picture.
        w.form->SetStatusCaption("Downloading http://h.example/a.html");
        w.form->SetStatusCaption("Saved http://h.example/a.html");
        QTRY_COMPARE(w.form->txtStatus->text(), QStringLiteral("Saved http://h.example/a.html"));
        w.form->AppendLogLine("line one");
        w.form->AppendLogLine("");
        w.form->AppendLogHeading("Download Summary:");
        w.form->AppendLogLineBoldTail("All downloaded files are stored in or under ", "/tmp/x/");
        w.form->AppendLogLine("caf\xe9");  // Latin-1 byte
        QCOMPARE(w.form->RichEdit1->toPlainText(),
                 QStringLiteral("line one\n\nDownload Summary:\nAll downloaded files are stored in "
                                "or under /tmp/x/\ncaf\u00e9"));
        const QTextBlock heading = w.form->RichEdit1->document()->findBlockByNumber(2);
        QCOMPARE(heading.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(heading.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 128));
        w.form->SetQueuedLabel("Queued Files: 7");
        QTRY_COMPARE(w.form->lblFilestoProcess->text(), QStringLiteral("Queued Files: 7"));
        w.form->SetTotalSizeLabel("Total Size of Files Downloaded: 2 KB");
        QTRY_COMPARE(w.form->lblTotalDownloadSize->text(),
                     QStringLiteral("Total Size of Files Downloaded: 2 KB"));
        w.form->SetProgress(55);
        QTRY_COMPARE(w.form->ProgressBar1->value(), 55);
        w.form->SetProgress(140);
        QTRY_COMPARE(w.form->ProgressBar1->value(), 100);
        w.form->ClearLog();
        w.form->AppendLogLine("fresh");
        QCOMPARE(w.form->RichEdit1->toPlainText(), QStringLiteral("fresh"));
        w.form->SetLogReadOnly();
        QVERIFY(w.form->RichEdit1->isReadOnly());
    }

    void endOfJobShowsExitAndTheEmailAnimation() {
        Window w;
        int emails = 0;
        w.form->EmailFriend = [&] { ++emails; };
        w.form->animProgress->Play();
        w.form->LoopFinished();
        w.form->ShowFinishedControls();
        QVERIFY(!w.form->animProgress->Active());
        QVERIFY(w.form->animProgress->isHidden());
        QVERIFY(!w.form->aviEmail->isHidden());
        QVERIFY(w.form->aviEmail->Active());
        QVERIFY(!w.form->btnFnlExit->isHidden());
        QVERIFY(!w.form->btnStop->isEnabled());
        QVERIFY(w.form->Wizard1->ButtonsEnabled() == TWizardButtons());
        QTest::mouseClick(w.form->aviEmail, Qt::LeftButton);
        QTest::mouseClick(w.form->aviEmail, Qt::RightButton);
        QTest::mouseClick(w.form->aviEmail, Qt::MiddleButton);
        QCOMPARE(emails, 2);
        w.form->btnFnlExit->click();
        QVERIFY(w.form->Engine().Result().halted);
        QVERIFY(!w.form->isVisible());
    }

    void emailAnimationOpensTheRecommendationForm() {
        Window w;
        w.form->LoopFinished();
        std::string title, url, summary, description;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TfrmEmail*>(QApplication::activeModalWidget());
            if (!form) return;
            opened = true;
            title = form->sAppTitle;
            url = form->sDownloadURL;
            summary = form->sAppSummary;
            description = form->sAppDescription;
            form->reject();
        });
        QTest::mouseClick(w.form->aviEmail, Qt::LeftButton);
        QVERIFY(opened);
        QCOMPARE(title, std::string("the Harvex"));
        QVERIFY(url.rfind("http://", 0) == 0);
        QVERIFY(url.find(".example/gizmorama/") != std::string::npos);
        QCOMPARE(summary, std::string("which lets you download a Web site to your hard drive"));
        QVERIFY(description.find("leisure, or maybe you require all the HTML files") !=
                std::string::npos);
        QVERIFY(description.find("on your hard drive. You might want to get all the images of "
                                 "a certain topic off the Website so you can browse") !=
                std::string::npos);
    }

    void stopAsksToWaitThenRequestsTheStop() {
        Window w;
        w.form->btnStop->click();
        QCOMPARE(w.messages().back(),
                 std::string("Please wait while the Harvex halts downloading..."));
        QVERIFY(w.form->Engine().StopRequested());
        QVERIFY(!w.form->btnStop->isEnabled());
    }

    void helpOpensTheHelpWindowAtItsFirstTopic() {
        Window w;
        w.form->btnHelp->click();
        QTextBrowser* help = w.form->Help().window();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->toPlainText().contains(QStringLiteral("Selecting a Web site")));
        w.form->close();
        QTRY_VERIFY(w.form->Help().window() == nullptr);
    }

    void creditsGesture_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right, shift+ctrl")
            << int(Qt::RightButton) << int(Qt::ShiftModifier | Qt::ControlModifier) << true;
        QTest::newRow("plain right") << int(Qt::RightButton) << int(Qt::NoModifier) << false;
        QTest::newRow("left, shift+ctrl")
            << int(Qt::LeftButton) << int(Qt::ShiftModifier | Qt::ControlModifier) << false;
        QTest::newRow("right, shift only")
            << int(Qt::RightButton) << int(Qt::ShiftModifier) << false;
    }
    void creditsGesture() {
        QFETCH(int, button);
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        Window w;
        TfrmPopDet credits;
        w.form->SetCreditsDialog(&credits);
        bool shown = false;
        QTimer::singleShot(0, &credits, [&] {
            shown = credits.isVisible();
            credits.Button1->click();
        });
        QTest::mouseDClick(w.form->PaintBox1, Qt::MouseButton(button),
                           Qt::KeyboardModifiers(modifiers));
        QCOMPARE(shown, opens);
        QVERIFY(!credits.isVisible());
        QTest::qWait(0);
    }

    void pagePicturesFollowTheScreenDepth() {
        Window w;
        QImage img(w.form->PaintBox1->size(), QImage::Format_ARGB32);
        w.form->PaintBox1->SetDepthOverride(8);
        w.form->PaintBox1->render(&img);
        QCOMPARE(w.form->PaintBox1->LastPicture(), QStringLiteral(":/images/stdwiz.png"));
        w.form->PaintBox1->SetDepthOverride(24);
        w.form->PaintBox1->render(&img);
        QCOMPARE(w.form->PaintBox1->LastPicture(), QStringLiteral(":/images/fullwiz.png"));
        QVERIFY(!QPixmap(QStringLiteral(":/images/fullwiz.png")).isNull());
        QCOMPARE(QPixmap(QStringLiteral(":/images/stdwiz.png")).size(), QSize(109, 176));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_MainWindow.moc"
