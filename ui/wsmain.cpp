#include "ui/wsmain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "engine/CertificateQuestion.h"
#include "engine/JobValidation.h"
#include "engine/wsmain.h"
#include "mail/form/fEmail.h"
#include "platform/Dialogs.h"
#include "platform/gui/QtDialogs.h"
#include "ui/Animate.h"
#include "ui/Authd.h"
#include "ui/Bytes.h"
#include "ui/GradPanel.h"
#include "ui/JobProxies.h"
#include "ui/LogPane.h"
#include "ui/PaintThrottle.h"
#include "ui/Resources.h"
#include "ui/RuleEditor.h"
#include "ui/StatusFields.h"
#include "ui/Wizard.h"
#include "ui/fpopdet.h"

namespace ui {

namespace {

constexpr int kHelpContext = 1;
constexpr const char* kAppSummary = "which lets you download a Web site to your hard drive";
constexpr const char* kAppDescription1 =
    "Frequently, to speed up your work, it is useful to duplicate a Website on your hard drive. "
    "You might want to get all the images of a certain topic off the Website so ";
constexpr const char* kAppDescription2 =
    "you can browse through them at your leisure, or maybe you require all the HTML files on a "
    "Website for research purposes. The Harvex is a tool that automates the whole process for "
    "you.";
constexpr const char* kQuotaTooSmall =
    "The download limit you have specified is too small. Please specify at least 1 megabyte.";
constexpr const char* kBoxCaption = "Harvex";

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

// ---- TFormHVXLoader ---------------------------------------------------------

TFormHVXLoader::TFormHVXLoader(QWidget* parent)
    : TGradientForm(parent, TFormBorderStyle::bsSingle, biSystemMenu | biMinimize),
      engine_(std::make_unique<engine::THvxEngine>(*this)) {
    InitResources();
    setObjectName(QStringLiteral("FormHVXLoader"));
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setWindowIcon(QIcon(QStringLiteral(":/images/harvex.png")));
    SetCaption(QStringLiteral("Harvex (Version 1.25)"));
    SetClientSize(kClientWidth, kClientHeight);
    // Ten pictures a second show a running copy well; more only cost time
    // (every picture is a round trip to the display server).
    new TPaintThrottle(this, kPaintIntervalMs);

    Wizard1 = new TWizard(ClientArea());
    Wizard1->setObjectName(QStringLiteral("Wizard1"));
    Wizard1->setGeometry(0, 0, kClientWidth, kClientHeight);
    buildPage1();
    buildPage2();
    buildPage3();
    buildPage4();
    buildPage5();
    buildPage6();
    WizardPage1->SetNextPage(WizardPage2);
    WizardPage2->SetNextPage(WizardPage3);
    WizardPage3->SetNextPage(WizardPage4);
    WizardPage4->SetNextPage(WizardPage5);

    Wizard1->SetFinishCaption(QStringLiteral("&Finish"));
    Wizard1->SetCancelCaption(QStringLiteral("Cancel"));
    Wizard1->SetHelpCaption(QStringLiteral("&Help"));
    Wizard1->SetBackCaption(QStringLiteral("<  &Back"));
    Wizard1->SetNextCaption(QStringLiteral("&Next  >"));
    Wizard1->SetTabsVisible(false);
    Wizard1->SetNextAutoFinish(true);
    Wizard1->SetNextAutoDisable(true);
    Wizard1->SetFinishAutoEnable(true);
    Wizard1->SetButtonsVisible({wbCancel, wbHelp, wbNext, wbBack});
    Wizard1->SetButtonsEnabled(TWizardButtons::all());
    Wizard1->SetButtonPanelStyle(TBevel::bvRaised);
    Wizard1->OnCancel = [this](TWizardPage*) { Wizard1Cancel(); };
    Wizard1->OnHelp = [this](TWizardPage*) { Wizard1Help(); };
    Wizard1->OnFinish = [this](TWizardPage*) { Wizard1Finish(); };

    // Lies exactly over the wizard's own Help button and takes its clicks.
    btnHelp = named(new QPushButton(QStringLiteral("&Help"), ClientArea()), "btnHelp");
    btnHelp->setGeometry(8, 321, 75, 25);
    connect(btnHelp, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    // Takes the Next button's place once a job has ended.
    btnFnlExit = named(new QPushButton(QStringLiteral("&Exit"), ClientArea()), "btnFnlExit");
    btnFnlExit->setGeometry(368, 321, 75, 25);
    btnFnlExit->setHidden(true);
    connect(btnFnlExit, &QPushButton::clicked, this, [this] { btnFnlExitClick(); });
    aviEmail = named(new TAnimate(ClientArea()), "aviEmail");
    aviEmail->setGeometry(3, 316, 88, 34);
    aviEmail->setToolTip(QStringLiteral("Email a friend..."));
    aviEmail->setCursor(Qt::PointingHandCursor);

    FormCreate();
    Wizard1->Loaded();
    CenterOnScreen();
}

TFormHVXLoader::~TFormHVXLoader() = default;

void TFormHVXLoader::FormCreate() {
    aviEmail->Load(QStringLiteral(":/images/emailavi.png"), 88);
    // A button release over the e-mail animation opens the e-mail form; the
    // event still reaches the animation.
    aviEmail->installEventFilter(this);
    aviEmail->Stop();
    aviEmail->setHidden(true);
    animProgress->Load(QStringLiteral(":/images/aviprogress.png"), 276);
    animProgress->SetStopFrame(19);
    engine_->RulesChanged() = false;
    help_.setHelpFile(QStringLiteral(":/help/Hvxl.html"));
}

bool TFormHVXLoader::AskCredentials(const std::string& realm, const std::string& host,
                                    std::string& user, std::string& password) {
    // The time spent typing is not a stall.
    const auto pause = engine_->PauseWatchdog();
    return TAuthdlg::Ask(this, realm, host, user, password);
}

bool TFormHVXLoader::AcceptCertificate(const std::string& host, const std::string& reason) {
    // The time spent reading the box is not a stall.
    const auto pause = engine_->PauseWatchdog();
    return engine::AskCertificateBox(Dialogs(), host, reason);
}

// ---- Handlers ----------------------------------------------------------------

void TFormHVXLoader::WizardPage1PageShow() { Wizard1->SetButtonsEnabled({wbCancel, wbNext}); }

void TFormHVXLoader::WizardPage1PageNext() {
    Wizard1->SetButtonsEnabled({wbCancel, wbNext, wbBack});
}

void TFormHVXLoader::WizardPage2PageNext(bool& allowChange) {
    // All three checks run and each failing one shows its own box.
    if (!engine::CheckStartPage(*engine_)) allowChange = false;
}

void TFormHVXLoader::WizardPage5PageNext(bool& allowChange) {
    // A limit of 0 MB would stop before the first file, and doubling it when
    // the user asks for more gives 0 again.
    if (optDiskQuote->isChecked() && spnDiskQuota->value() < kMinQuotaMB) {
        Dialogs().messageBox(kBoxCaption, kQuotaTooSmall, platform::DialogKind::Error,
                             platform::kButtonOk);
        allowChange = false;
    }
}

void TFormHVXLoader::everythingKeepsTheOthers() {
    if (optDloadEverything->isChecked()) {
        optDLoadTextFiles->setChecked(true);
        optDloadGraphics->setChecked(true);
    }
}

void TFormHVXLoader::WizardPage3PageNext() {
    RuleEditor->ClearRulesAndList();
    engine_->BuildRulesFromPage3();
    RuleEditor->FillListFromRules();
    RuleEditor->RefreshIcons();
    RuleEditor->ClearProperties();
    RuleEditor->UpdateInfoBox();
    // The wizard reads the new NextPage after this handler.
    WizardPage3->SetNextPage(rBtnNo->isChecked() ? WizardPage5 : WizardPage4);
}

void TFormHVXLoader::WizardPage4PageBack() { RuleEditor->ClearRulesAndList(); }

void TFormHVXLoader::SpeedButton1Click() {
    const auto folder = Dialogs().browseFolder("Browse for Folder", SaveDirectory());
    if (folder) txtSaveDirectory->setText(DecodeBytes(*folder));
}

void TFormHVXLoader::optStayinPathClick() {
    if (optStayinPath->isChecked()) optStayinDomain->setChecked(true);
}

void TFormHVXLoader::optDiskQuoteClick() {
    QPalette pal = spnDiskQuota->palette();
    if (optDiskQuote->isChecked()) {
        pal.setColor(QPalette::Base, palette().color(QPalette::Base));
        spnDiskQuota->setPalette(pal);
        spnDiskQuota->setEnabled(true);
    } else {
        pal.setColor(QPalette::Base, palette().color(QPalette::Button));
        spnDiskQuota->setPalette(pal);
        spnDiskQuota->setEnabled(false);
        spnDiskQuota->setValue(0);
    }
}

void TFormHVXLoader::Wizard1Finish() {
    Wizard1->SetActivePage(WizardPage6);
    Wizard1->SetButtonsEnabled({wbCancel});
    RichEdit1->setFocus();
    Panel1->raise();
    animProgress->Play();
    SetUpObjectLists();
}

void TFormHVXLoader::SetUpObjectLists() {
    engine_->UseProxies(JobProxies(ProcessProxyVariables(), Dialogs()));
    jobRunning_ = true;
    if (JobRunner)
        JobRunner(*engine_);
    else
        engine_->SetUpObjectLists();
    jobRunning_ = false;
}

void TFormHVXLoader::Wizard1Cancel() {
    Wizard1->SetButtonsEnabled({});
    // During a transfer the window stays open; the loop notices the stop.
    const bool idle = engine_->CancelJob();
    if (TransferBusy ? !TransferBusy() : idle) close();
}

void TFormHVXLoader::btnHelpClick() { help_.showContext(kHelpContext); }

void TFormHVXLoader::btnFnlExitClick() {
    engine_->btnFnlExitClick();
    close();
}

void TFormHVXLoader::btnStopClick() {
    engine_->btnStopClick();
    btnStop->setEnabled(false);
}

void TFormHVXLoader::btnEmailClick() {
    if (EmailFriend) {
        EmailFriend();
        return;
    }
    TEmailFormSettings settings;
    auto form = std::make_unique<TfrmEmail>(nullptr, settings);
    form->sAppTitle = "the Harvex";
    form->sDownloadURL = "http://" + settings.MakerHost + "/gizmorama/";
    form->sAppSummary = kAppSummary;
    form->sAppDescription = std::string(kAppDescription1) + kAppDescription2;
    form->exec();
}

void TFormHVXLoader::PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                        bool doubleClick) {
    const bool gesture = button == Qt::RightButton && (modifiers & Qt::ShiftModifier) &&
                         (modifiers & Qt::ControlModifier) && doubleClick;
    if (gesture && frmPopDet_) frmPopDet_->ShowModal();
}

void TFormHVXLoader::closeEvent(QCloseEvent* event) {
    // Frees the job's tables once the engine has halted; a running loop stops
    // at its next stop test.
    engine_->FormClose();
    // The help window goes with the program.
    if (help_.window()) help_.window()->close();
    event->accept();
}

bool TFormHVXLoader::eventFilter(QObject* watched, QEvent* event) {
    if (watched == aviEmail && event->type() == QEvent::MouseButtonRelease) {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton) btnEmailClick();
    }
    return TGradientForm::eventFilter(watched, event);
}

// ---- TJobView ----------------------------------------------------------------

std::string TFormHVXLoader::StartURL() const { return EncodeText(txtStartURL->text()); }

std::string TFormHVXLoader::SaveDirectory() const { return EncodeText(txtSaveDirectory->text()); }

void TFormHVXLoader::SetSaveDirectory(const std::string& directory) {
    txtSaveDirectory->setText(DecodeBytes(directory));
}

bool TFormHVXLoader::DLoadTextFiles() const { return optDLoadTextFiles->isChecked(); }
bool TFormHVXLoader::DloadGraphics() const { return optDloadGraphics->isChecked(); }
bool TFormHVXLoader::DloadEverything() const { return optDloadEverything->isChecked(); }
bool TFormHVXLoader::OwnFileTypes() const { return rBtnYes->isChecked(); }
bool TFormHVXLoader::StayinPath() const { return optStayinPath->isChecked(); }
bool TFormHVXLoader::StayinDomain() const { return optStayinDomain->isChecked(); }
bool TFormHVXLoader::DiskQuote() const { return optDiskQuote->isChecked(); }
int TFormHVXLoader::DiskQuota() const { return spnDiskQuota->value(); }

void TFormHVXLoader::SetDiskQuota(int megabytes) {
    // A doubled quota may pass the arrows' upper end; the box must still hold it.
    if (megabytes > spnDiskQuota->maximum()) spnDiskQuota->setMaximum(megabytes);
    spnDiskQuota->setValue(megabytes);
}

bool TFormHVXLoader::DownloadNoSizeFiles() const { return optDownloadNoSizeFiles->isChecked(); }

bool TFormHVXLoader::OfflineCopy() const { return optOfflineCopy->isChecked(); }

void TFormHVXLoader::SetStatusCaption(const std::string& text) {
    statusFields_->setText(txtStatus, DecodeBytes(text));
}

void TFormHVXLoader::appendLog(const QString& plain, const QString& bold, bool heading) {
    logPane_->append(plain, bold, heading);
}

void TFormHVXLoader::AppendLogLine(const std::string& line) {
    appendLog(DecodeBytes(line), {}, false);
}

void TFormHVXLoader::AppendLogHeading(const std::string& line) {
    appendLog(DecodeBytes(line), {}, true);
}

void TFormHVXLoader::AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) {
    appendLog(DecodeBytes(plain), DecodeBytes(boldTail), false);
}

void TFormHVXLoader::ClearLog() {
    logPane_->clear();
}

void TFormHVXLoader::SetLogReadOnly() { RichEdit1->setReadOnly(true); }

void TFormHVXLoader::SetQueuedLabel(const std::string& text) {
    statusFields_->setText(lblFilestoProcess, DecodeBytes(text));
}

void TFormHVXLoader::SetTotalSizeLabel(const std::string& text) {
    statusFields_->setText(lblTotalDownloadSize, DecodeBytes(text));
}

void TFormHVXLoader::SetProgress(int percent) {
    // Link extraction alone moves the bar a hundred times per page; it shows
    // the latest value with the next picture of the window.
    statusFields_->setProgress(ProgressBar1, std::clamp(percent, 0, 100));
}

void TFormHVXLoader::StopProgressAnimation() { animProgress->Stop(); }

void TFormHVXLoader::LoopFinished() {
    statusFields_->flush();
    animProgress->Stop();
    animProgress->setHidden(true);
    aviEmail->setHidden(false);
    aviEmail->raise();
    aviEmail->Play();
}

void TFormHVXLoader::ShowFinishedControls() {
    btnStop->setEnabled(false);
    Wizard1->SetButtonsEnabled({});
    btnFnlExit->setHidden(false);
    btnFnlExit->raise();
}

platform::Dialogs& TFormHVXLoader::Dialogs() {
    if (dialogs_) return *dialogs_;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<platform::QtDialogs>(this);
    return *ownDialogs_;
}

}  // namespace ui
