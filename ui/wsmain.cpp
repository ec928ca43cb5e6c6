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

#include "engine/JobValidation.h"
#include "engine/wsmain.h"
#include "mail/form/fEmail.h"
#include "platform/Dialogs.h"
#include "platform/gui/QtDialogs.h"
#include "ui/Animate.h"
#include "ui/Authd.h"
#include "ui/Bytes.h"
#include "ui/GradPanel.h"
#include "ui/LogPane.h"
#include "ui/PaintThrottle.h"
#include "ui/Resources.h"
#include "ui/RuleEditor.h"
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
constexpr int kTextLeft = 136;
constexpr int kTextWidth = 380;
constexpr int kParagraphGap = 10;
constexpr const char* kQuotaTooSmall =
    "The download limit you have specified is too small. Please specify at least 1 megabyte.";
constexpr const char* kBoxCaption = "Harvex";
// How often the window paints while a copy runs, and the log pane is laid out.
constexpr int kPaintIntervalMs = 100;

const char* const kPage1Texts[5] = {
    "The Harvex gives you a handy way of copying a Web site to your hard drive. This means that "
    "you can take the waiting out of surfing the net.",
    "By downloading the HTML files that make up the basis of web pages, the Harvex reads them "
    "and determines what other web pages the current file links to. In this fashion, the Harvex "
    "\xe2\x80\x98spiders\xe2\x80\x99 through the Internet, downloading ",
    "files as it goes. It reassembles the web pages on your hard drive into a Web Site so that "
    "you have quick and easy access to it.",
    "All you have to know is which Web Site you want to download and where on your computer you "
    "want to store it. This wizard will guide you through the entire process of downloading a "
    "Web site. Should ",
    "you want to define which files you want to download (such as images only) you can set these "
    "parameters as you go.",
};

QLabel* addText(QWidget* parent, const QString& text, int x, int y, int w, int h,
                const QString& name = {}) {
    auto* label = new QLabel(text, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Tall enough for its text at the font in use.
    label->setGeometry(x, y, w, std::max(h, label->heightForWidth(w)));
    return label;
}

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

// ---- TPictureBox ------------------------------------------------------------

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) {}

void TPictureBox::paintEvent(QPaintEvent*) {
    const int depth = depthOverride_ > 0 ? depthOverride_ : this->depth();
    lastPicture_ =
        depth > 8 ? QStringLiteral(":/images/fullwiz.png") : QStringLiteral(":/images/stdwiz.png");
    QPainter painter(this);
    painter.drawPixmap(0, 0, QPixmap(lastPicture_));
}

void TPictureBox::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), false);
    QWidget::mousePressEvent(event);
}

void TPictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), true);
    QWidget::mouseDoubleClickEvent(event);
}

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

TWizardPage* TFormHVXLoader::makePage(const QString& name, const QString& heading,
                                      int headingWidth) {
    auto* page = new TWizardPage(Wizard1, name);
    const int left = headingWidth > 370 ? 8 : kTextLeft;
    auto* strip = new TGradPanel(page);
    strip->setObjectName(name + QStringLiteral("Heading"));
    strip->setGeometry(left, 8, headingWidth, 17);
    auto* label = new QLabel(heading, strip);
    label->setObjectName(name + QStringLiteral("Title"));
    QFont bold(QStringLiteral("Arial"), 10);
    bold.setBold(true);
    label->setFont(bold);
    label->setGeometry(4, 0, headingWidth - 4, 17);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return page;
}

TPictureBox* TFormHVXLoader::makePicture(TWizardPage* page, const QString& name) {
    auto* box = new TPictureBox(page);
    box->setObjectName(name);
    box->setGeometry(8, 24, 113, 185);
    return box;
}

void TFormHVXLoader::buildPage1() {
    WizardPage1 = makePage(QStringLiteral("WizardPage1"), QStringLiteral("Welcome!"));
    PaintBox1 = makePicture(WizardPage1, QStringLiteral("PaintBox1"));
    PaintBox1->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, bool dbl) {
        PaintBox1MouseDown(b, m, dbl);
    };
    // Texts 2 and 3, and 4 and 5, are one paragraph each: each paragraph is
    // one label, so that its lines flow instead of breaking where a text ends.
    const QString paragraphs[] = {
        QString::fromUtf8(kPage1Texts[0]),
        QString::fromUtf8(kPage1Texts[1]) + QString::fromUtf8(kPage1Texts[2]),
        QString::fromUtf8(kPage1Texts[3]) + QString::fromUtf8(kPage1Texts[4]),
    };
    int y = 34;
    int number = 0;
    for (const QString& text : paragraphs) {
        QLabel* label = addText(WizardPage1, text, kTextLeft, y, kTextWidth, 16,
                                QStringLiteral("lblParagraph%1").arg(++number));
        const int height = label->heightForWidth(kTextWidth);
        label->resize(kTextWidth, height);
        y += height + kParagraphGap;
    }
    WizardPage1->OnPageShow = [this](TWizardPage*) { WizardPage1PageShow(); };
    WizardPage1->OnPageNext = [this](TWizardPage*, TWizardPage*, bool&) { WizardPage1PageNext(); };
}

void TFormHVXLoader::buildPage2() {
    WizardPage2 =
        makePage(QStringLiteral("WizardPage2"), QStringLiteral("Select a Web Site to Download..."));
    PaintBox2 = makePicture(WizardPage2, QStringLiteral("PaintBox2"));
    addText(WizardPage2,
            QStringLiteral("To begin you have to tell the Harvex which Web site you want to "
                           "download. eg, 'http://www.harvex.example/index.html'."),
            kTextLeft, 36, kTextWidth, 32);
    addText(WizardPage2, QStringLiteral("What Web site do you want to download?"), kTextLeft, 76,
            kTextWidth, 16);
    txtStartURL = named(new QLineEdit(QStringLiteral("http://"), WizardPage2), "txtStartURL");
    txtStartURL->setGeometry(kTextLeft, 94, kTextWidth, 21);
    addText(WizardPage2,
            QStringLiteral("You also need to specify the where on your computer you are going to "
                           "store the Web site. Click the 'Folder' button to choose a directory."),
            kTextLeft, 132, kTextWidth, 32);
    addText(WizardPage2, QStringLiteral("In which directory do you want to save the Web site?"),
            kTextLeft, 172, kTextWidth, 16);
    txtSaveDirectory = named(new QLineEdit(WizardPage2), "txtSaveDirectory");
    txtSaveDirectory->setGeometry(kTextLeft, 190, kTextWidth - 24, 21);
    SpeedButton1 = named(new QToolButton(WizardPage2), "SpeedButton1");
    SpeedButton1->setGeometry(kTextLeft + kTextWidth - 22, 189, 22, 22);
    SpeedButton1->setIcon(QIcon(QStringLiteral(":/images/openfile.png")));
    SpeedButton1->setToolTip(QStringLiteral("Folder"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    WizardPage2->OnPageNext = [this](TWizardPage*, TWizardPage*, bool& allow) {
        WizardPage2PageNext(allow);
    };
    // The first thing to enter on this page is the start address.
    WizardPage2->OnPageShow = [this](TWizardPage*) { txtStartURL->setFocus(); };
}

void TFormHVXLoader::buildPage3() {
    WizardPage3 = makePage(QStringLiteral("WizardPage3"), QStringLiteral("File Options"));
    PaintBox3 = makePicture(WizardPage3, QStringLiteral("PaintBox3"));
    addText(WizardPage3,
            QStringLiteral("Choose what types of files you want to download. You can select "
                           "Text, Image files and everything (which includes programs, sound "
                           "files etc.)"),
            kTextLeft, 34, kTextWidth, 32);
    auto* types =
        new QGroupBox(QStringLiteral("What File Types do you want to download?"), WizardPage3);
    types->setObjectName(QStringLiteral("GroupBox1"));
    types->setGeometry(kTextLeft, 86, kTextWidth, 110);
    optDLoadTextFiles = named(new QCheckBox(QStringLiteral("Text"), types), "optDLoadTextFiles");
    optDLoadTextFiles->setGeometry(16, 22, 200, 18);
    optDLoadTextFiles->setChecked(true);
    optDloadGraphics = named(new QCheckBox(QStringLiteral("Graphics"), types), "optDloadGraphics");
    optDloadGraphics->setGeometry(16, 44, 200, 18);
    optDloadGraphics->setChecked(true);
    auto* line = new QFrame(types);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(16, 68, kTextWidth - 32, 4);
    optDloadEverything =
        named(new QCheckBox(QStringLiteral("Download Everything"), types), "optDloadEverything");
    optDloadEverything->setGeometry(16, 80, 200, 18);
    connect(optDLoadTextFiles, &QCheckBox::clicked, this, [this] { optDLoadTextFilesClick(); });
    connect(optDloadGraphics, &QCheckBox::clicked, this, [this] { optDloadGraphicsClick(); });
    connect(optDloadEverything, &QCheckBox::clicked, this, [this] { optDloadEverythingClick(); });

    auto* own =
        new QGroupBox(QStringLiteral("Do you want to define your own file types?"), WizardPage3);
    own->setObjectName(QStringLiteral("GroupBox2"));
    own->setGeometry(kTextLeft, 204, kTextWidth, 56);
    rBtnYes = named(new QRadioButton(QStringLiteral("&Yes"), own), "rBtnYes");
    rBtnYes->setGeometry(16, 24, 80, 18);
    rBtnNo = named(new QRadioButton(QStringLiteral("&No"), own), "rBtnNo");
    rBtnNo->setGeometry(110, 24, 80, 18);
    rBtnNo->setChecked(true);
    WizardPage3->OnPageNext = [this](TWizardPage*, TWizardPage*, bool&) { WizardPage3PageNext(); };
}

void TFormHVXLoader::buildPage4() {
    WizardPage4 = makePage(QStringLiteral("WizardPage4"), QStringLiteral("File Options"));
    RuleEditor = new TRuleEditor(WizardPage4, engine_->Rules(), engine_->RulesChanged(),
                                 [this]() -> platform::Dialogs& { return Dialogs(); });
    RuleEditor->setGeometry(0, 0, kClientWidth, kClientHeight - TWizard::kButtonBarHeight);
    PaintBox5 = makePicture(WizardPage4, QStringLiteral("PaintBox5"));
    PaintBox5->raise();
    WizardPage4->OnPageBack = [this](TWizardPage*, TWizardPage*, bool&) { WizardPage4PageBack(); };
}

void TFormHVXLoader::buildPage5() {
    WizardPage5 = makePage(QStringLiteral("WizardPage5"), QStringLiteral("File Options"));
    PaintBox4 = makePicture(WizardPage5, QStringLiteral("PaintBox4"));
    addText(WizardPage5,
            QStringLiteral("Use these options to further define and limit what files you want to "
                           "download. For example, if you only want to download files in a "
                           "certain directory on a server, then select the \"Stay inside or under "
                           "the specified Web site directory\" option."),
            kTextLeft, 32, kTextWidth, 58);
    auto* scope = new QGroupBox(WizardPage5);
    scope->setObjectName(QStringLiteral("GroupBox3"));
    scope->setGeometry(kTextLeft, 94, kTextWidth, 58);
    optStayinPath =
        named(new QCheckBox(
                  QStringLiteral("Stay inside or under the specified Web site directory."), scope),
              "optStayinPath");
    optStayinPath->setGeometry(12, 10, kTextWidth - 20, 18);
    optStayinPath->setChecked(true);
    optDownloadNoSizeFiles = named(
        new QCheckBox(QStringLiteral("Download files whose size can not be determined."), scope),
        "optDownloadNoSizeFiles");
    optDownloadNoSizeFiles->setGeometry(12, 32, kTextWidth - 20, 18);
    optDownloadNoSizeFiles->setChecked(true);
    optStayinDomain =
        named(new QCheckBox(QStringLiteral("Stay inside domain"), scope), "optStayinDomain");
    optStayinDomain->setChecked(true);
    optStayinDomain->setHidden(true);
    connect(optStayinPath, &QCheckBox::clicked, this, [this] { optStayinPathClick(); });

    auto* quota = new QGroupBox(WizardPage5);
    quota->setObjectName(QStringLiteral("GroupBox4"));
    quota->setGeometry(kTextLeft, 166, kTextWidth, 72);
    // The check box takes the frame's caption position.
    optDiskQuote =
        named(new QCheckBox(QStringLiteral("Set limit for total download size"), WizardPage5),
              "optDiskQuote");
    optDiskQuote->setGeometry(kTextLeft + 8, 158, 210, 18);
    optDiskQuote->setAutoFillBackground(true);
    optDiskQuote->raise();
    addText(quota, QStringLiteral("Stop process when"), 12, 26, 110, 16);
    spnDiskQuota = named(new QSpinBox(quota), "spnDiskQuota");
    spnDiskQuota->setGeometry(122, 22, 72, 22);
    spnDiskQuota->setRange(0, kMaxQuotaMB);
    spnDiskQuota->setValue(0);
    // Arrows only: typing is disabled.
    if (auto* edit = spnDiskQuota->findChild<QLineEdit*>()) edit->setReadOnly(true);
    addText(quota, QStringLiteral("megabyte(s) of information is/are downloaded."), 12, 48,
            kTextWidth - 20, 16);
    connect(optDiskQuote, &QCheckBox::clicked, this, [this] { optDiskQuoteClick(); });
    optDiskQuoteClick();
    addText(WizardPage5, QStringLiteral("Click FINISH to begin downloading the Web Site..."),
            kTextLeft, 250, kTextWidth, 16);
    // Beyond the specified page, below its last line, and off unless chosen.
    optOfflineCopy =
        named(new QCheckBox(QStringLiteral("Make the copy work offline from your hard drive"),
                            WizardPage5),
              "optOfflineCopy");
    optOfflineCopy->setToolTip(
        QStringLiteral("Also downloads every picture, style sheet, font and script the pages need, "
                       "and changes their links so that the copy opens in a browser without "
                       "the Internet."));
    optOfflineCopy->setGeometry(kTextLeft, 276, kTextWidth, 18);
    optOfflineCopy->setChecked(false);
    WizardPage5->OnPageNext = [this](TWizardPage*, TWizardPage*, bool& allow) {
        WizardPage5PageNext(allow);
    };
}

void TFormHVXLoader::buildPage6() {
    WizardPage6 = makePage(QStringLiteral("WizardPage6"), QStringLiteral("Status..."), 514);
    Panel1 = new QFrame(WizardPage6);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 30, 518, 274);
    txtStatus = named(new QLabel(QStringLiteral("File Status:"), Panel1), "txtStatus");
    txtStatus->setGeometry(4, 2, 510, 16);
    txtStatus->setTextFormat(Qt::PlainText);
    RichEdit1 = named(new QPlainTextEdit(Panel1), "RichEdit1");
    RichEdit1->setGeometry(4, 20, 510, 134);
    // The pane shows the log as written; what is typed would never reach the file.
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A log has nothing to undo; the history would keep a copy of every line.
    RichEdit1->setUndoRedoEnabled(false);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Laid out once per paint interval of the window (see TPaintThrottle).
    logPane_ = new TLogPane(RichEdit1, kPaintIntervalMs);
    lblFilestoProcess =
        named(new QLabel(QStringLiteral("Queued Files: 0"), Panel1), "lblFilestoProcess");
    lblTotalDownloadSize =
        named(new QLabel(QStringLiteral("Total Size of Files Downloaded: 0"), Panel1),
              "lblTotalDownloadSize");
    // Each count has the pane's whole width, so that the largest values show
    // whole; the animation sits below them.
    lblFilestoProcess->setGeometry(4, 158, 510, 16);
    lblTotalDownloadSize->setGeometry(4, 176, 510, 16);
    animProgress = named(new TAnimate(Panel1), "animProgress");
    animProgress->setGeometry(238, 194, 276, 49);
    ProgressBar1 = named(new QProgressBar(Panel1), "ProgressBar1");
    ProgressBar1->setGeometry(4, 249, 420, 20);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    btnStop = named(new QPushButton(QStringLiteral("Stop"), Panel1), "btnStop");
    btnStop->setGeometry(439, 246, 75, 25);
    connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
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
    txtStatus->setText(DecodeBytes(text));
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
    lblFilestoProcess->setText(DecodeBytes(text));
}

void TFormHVXLoader::SetTotalSizeLabel(const std::string& text) {
    lblTotalDownloadSize->setText(DecodeBytes(text));
}

void TFormHVXLoader::SetProgress(int percent) {
    // The bar would repaint itself at once for every step (link extraction
    // moves it a hundred times per page); with updates held back while the
    // value changes it is painted with the rest of the window on the next turn.
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(std::clamp(percent, 0, 100));
    ProgressBar1->setUpdatesEnabled(true);
}

void TFormHVXLoader::StopProgressAnimation() { animProgress->Stop(); }

void TFormHVXLoader::LoopFinished() {
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
