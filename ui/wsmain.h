#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QWidget>
#include <functional>
#include <memory>

#include "engine/JobView.h"
#include "platform/gui/HelpViewer.h"
#include "ui/GradForm.h"
#include "ui/fpopdet.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace engine {
class THvxEngine;
}
namespace platform {
class Dialogs;
class QtDialogs;
}  // namespace platform

namespace ui {

class TAnimate;
class TGradPanel;
class TLogPane;
class TStatusFields;
class TRuleEditor;
class TWizard;
class TWizardPage;

// A page picture: the wizard bitmap, in full colour or in 256 colours by the
// screen's depth at each paint.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent);
    void SetDepthOverride(int bitsPerPixel) { depthOverride_ = bitsPerPixel; }
    // The resource the last paint used.
    QString LastPicture() const { return lastPicture_; }
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, bool doubleClick)> OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int depthOverride_ = 0;
    QString lastPicture_;
};

// The main window: the six-page wizard that collects the job, and the status
// page on which it runs. The job settings live in the controls; the engine
// reads them through the TJobView interface, live at each use.
class TFormHVXLoader : public TGradientForm, public engine::TJobView {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 534;
    static constexpr int kClientHeight = 353;
    static constexpr int kMaxQuotaMB = 10000;
    static constexpr int kMinQuotaMB = 1;
    // How often the window paints while a copy runs, and the log pane is laid out.
    static constexpr int kPaintIntervalMs = 100;

    explicit TFormHVXLoader(QWidget* parent = nullptr);
    ~TFormHVXLoader() override;

    engine::THvxEngine& Engine() { return *engine_; }
    // The boxes the window shows; by default Qt dialogs. Tests pass scripted ones.
    void SetDialogs(platform::Dialogs* dialogs) { dialogs_ = dialogs; }
    void SetCreditsDialog(TfrmPopDet* dialog) { frmPopDet_ = dialog; }

    // Runs the whole job once Finish has shown the status page; returns when
    // the job has ended. Without it, Finish only queues the start address.
    std::function<void(engine::THvxEngine&)> JobRunner;
    // Whether the HTTP component is busy with a transfer (Cancel then only
    // requests the stop).
    std::function<bool()> TransferBusy;
    // Replaces the e-mail-a-friend form (tests).
    std::function<void()> EmailFriend;

    // --- TJobView ---
    std::string StartURL() const override;
    std::string SaveDirectory() const override;
    void SetSaveDirectory(const std::string& directory) override;
    bool DLoadTextFiles() const override;
    bool DloadGraphics() const override;
    bool DloadEverything() const override;
    bool OwnFileTypes() const override;
    bool StayinPath() const override;
    bool StayinDomain() const override;
    bool DiskQuote() const override;
    int DiskQuota() const override;
    void SetDiskQuota(int megabytes) override;
    bool DownloadNoSizeFiles() const override;
    bool OfflineCopy() const override;
    void SetStatusCaption(const std::string& text) override;
    void AppendLogLine(const std::string& line) override;
    void AppendLogHeading(const std::string& line) override;
    void AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) override;
    void ClearLog() override;
    void SetLogReadOnly() override;
    void SetQueuedLabel(const std::string& text) override;
    void SetTotalSizeLabel(const std::string& text) override;
    void SetProgress(int percent) override;
    void StopProgressAnimation() override;
    void LoopFinished() override;
    void ShowFinishedControls() override;
    platform::Dialogs& Dialogs() override;

    // --- Handlers ---
    void WizardPage1PageShow();
    void WizardPage1PageNext();
    void WizardPage2PageNext(bool& allowChange);
    void WizardPage3PageNext();
    void WizardPage4PageBack();
    // A checked limit must be at least one megabyte.
    void WizardPage5PageNext(bool& allowChange);
    void Wizard1Finish();
    void Wizard1Cancel();
    void Wizard1Help() {}
    void SpeedButton1Click();
    void optDLoadTextFilesClick() { everythingKeepsTheOthers(); }
    void optDloadGraphicsClick() { everythingKeepsTheOthers(); }
    void optDloadEverythingClick() { everythingKeepsTheOthers(); }
    void optStayinPathClick();
    void optDiskQuoteClick();
    void btnHelpClick();
    void btnFnlExitClick();
    void btnStopClick();
    void btnEmailClick();
    void PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                            bool doubleClick);
    void SetUpObjectLists();

    bool JobRunning() const { return jobRunning_; }
    platform::HelpViewer& Help() { return help_; }

    // --- Controls (object names as the fields) ---
    TWizard* Wizard1;
    TWizardPage* WizardPage1;
    TWizardPage* WizardPage2;
    TWizardPage* WizardPage3;
    TWizardPage* WizardPage4;
    TWizardPage* WizardPage5;
    TWizardPage* WizardPage6;
    TPictureBox* PaintBox1;
    TPictureBox* PaintBox2;
    TPictureBox* PaintBox3;
    TPictureBox* PaintBox4;
    TPictureBox* PaintBox5;
    QLineEdit* txtStartURL;
    QLineEdit* txtSaveDirectory;
    QToolButton* SpeedButton1;
    QCheckBox* optDLoadTextFiles;
    QCheckBox* optDloadGraphics;
    QCheckBox* optDloadEverything;
    QRadioButton* rBtnYes;
    QRadioButton* rBtnNo;
    TRuleEditor* RuleEditor;
    QCheckBox* optStayinPath;
    QCheckBox* optDownloadNoSizeFiles;
    // Not in the specified page: the offline-copy option, off by default.
    QCheckBox* optOfflineCopy;
    QCheckBox* optStayinDomain;
    QCheckBox* optDiskQuote;
    QSpinBox* spnDiskQuota;
    QWidget* Panel1;
    QLabel* txtStatus;
    // A plain-text view: it lays out only the lines in sight, so a log of a
    // hundred thousand lines costs no more per line than a short one.
    QPlainTextEdit* RichEdit1;
    QLabel* lblFilestoProcess;
    QLabel* lblTotalDownloadSize;
    TAnimate* animProgress;
    QProgressBar* ProgressBar1;
    QPushButton* btnStop;
    QPushButton* btnHelp;
    QPushButton* btnFnlExit;
    TAnimate* aviEmail;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // A site behind Basic authorization: the credentials dialog, asked once per
    // realm. The stall watchdog rests while the user types.
    bool AskCredentials(const std::string& realm, const std::string& host, std::string& user,
                        std::string& password) override;
    // A server's certificate failed the check: a Yes/No box naming the host
    // and the reason, asked once per host (the engine keeps the answer).
    bool AcceptCertificate(const std::string& host, const std::string& reason) override;
    TWizardPage* makePage(const QString& name, const QString& heading, int headingWidth = 370);
    TPictureBox* makePicture(TWizardPage* page, const QString& name);
    void buildPage1();
    void buildPage2();
    void buildPage3();
    void buildPage4();
    void buildPage5();
    void buildPage6();
    void everythingKeepsTheOthers();
    void appendLog(const QString& plain, const QString& bold, bool heading);

    std::unique_ptr<engine::THvxEngine> engine_;
    std::unique_ptr<platform::QtDialogs> ownDialogs_;
    platform::Dialogs* dialogs_ = nullptr;
    QPointer<TfrmPopDet> frmPopDet_;
    platform::HelpViewer help_;
    bool jobRunning_ = false;
    TLogPane* logPane_ = nullptr;  // writes RichEdit1; owned by it
    TStatusFields* statusFields_ = nullptr;  // the status labels and bar; owned by Panel1
};

}  // namespace ui
