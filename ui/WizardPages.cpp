#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "engine/wsmain.h"
#include "ui/Animate.h"
#include "ui/GradPanel.h"
#include "ui/LogPane.h"
#include "ui/RuleEditor.h"
#include "ui/StatusFields.h"
#include "ui/Wizard.h"
#include "ui/wsmain.h"

// The widgets of the wizard's pages: what each page shows and where. The
// main window (ui/wsmain.cpp) builds them once and wires up what they do.

namespace ui {

namespace {

constexpr int kTextLeft = 136;
constexpr int kTextWidth = 380;
constexpr int kParagraphGap = 10;

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

// ---- Wizard pages ------------------------------------------------------------

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
    statusFields_ = new TStatusFields(Panel1, kPaintIntervalMs);
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

}  // namespace ui
