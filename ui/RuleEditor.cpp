#include "ui/RuleEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cctype>

#include "platform/ByteText.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/gui/FileTypeIcon.h"
#include "ui/Bytes.h"
#include "ui/Resources.h"
#include "ui/corvedit.h"

namespace ui {

namespace {
constexpr const char* kScratchPrefix = "~qx1201.";
constexpr int kImageIndexRole = Qt::UserRole + 1;
const QColor kGreyText(128, 128, 128);  // the inactive-caption grey of the labels

// From the last dot on, dot included; the whole text when there is no dot.
std::string extensionOf(const std::string& text) {
    const auto dot = text.rfind('.');
    return dot == std::string::npos ? text : text.substr(dot);
}

std::optional<std::int64_t> numberIn(const QString& text) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

std::string foldCase(const std::string& text) { return platform::LowerCase(text); }
}  // namespace

TRuleEditor::TRuleEditor(QWidget* parent, engine::TAllowedFilesList& rules, bool& ruleChanged,
                         std::function<platform::Dialogs&()> dialogs)
    : QWidget(parent), rules_(rules), bRuleChanged_(ruleChanged), dialogs_(std::move(dialogs)) {
    InitResources();
    setObjectName(QStringLiteral("RuleEditor"));
    iconSource = [](const std::string& folder, const std::string& name) {
        return platform::fileTypeSmallIcon(folder, name);
    };
    imglstExtras = QIcon(QStringLiteral(":/images/anyfile.png"));

    PTListView1 = new QListWidget(this);
    PTListView1->setObjectName(QStringLiteral("PTListView1"));
    PTListView1->setGeometry(160, 72, 87, 225);
    PTListView1->setViewMode(QListView::ListMode);
    PTListView1->setIconSize(QSize(16, 16));
    PTListView1->setSortingEnabled(false);
    PTListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    PTListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PTListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    PTListView1->installEventFilter(this);
    connect(PTListView1, &QListWidget::itemClicked, this, [this] { PTListView1Click(); });

    mnuAddItem = new QMenu(this);
    mnuAddItem->setObjectName(QStringLiteral("mnuAddItem"));
    AddFileType1 = mnuAddItem->addAction(QStringLiteral("Add File"));
    AddFileType1->setObjectName(QStringLiteral("AddFileType1"));
    DeleteFile1 = mnuAddItem->addAction(QStringLiteral("Delete File"));
    DeleteFile1->setObjectName(QStringLiteral("DeleteFile1"));
    connect(AddFileType1, &QAction::triggered, this, [this] { AddFileType1Click(); });
    connect(DeleteFile1, &QAction::triggered, this, [this] { DeleteFile1Click(); });
    connect(PTListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        mnuAddItem->popup(PTListView1->viewport()->mapToGlobal(pos));
    });

    Button2 = new QPushButton(QStringLiteral("New File"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(342, 40, 75, 25);
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    Button1 = new QPushButton(QStringLiteral("Delete File"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(431, 40, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    pnlFileProperties = new QGroupBox(this);
    pnlFileProperties->setObjectName(QStringLiteral("pnlFileProperties"));
    pnlFileProperties->setGeometry(267, 72, 238, 227);

    auto* label = new QLabel(QStringLiteral("FileName:"), pnlFileProperties);
    label->move(10, 8);
    txtFileName = new QLineEdit(pnlFileProperties);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    txtFileName->setGeometry(10, 24, 218, 21);
    txtFileName->installEventFilter(this);

    label = new QLabel(QStringLiteral("Download As:"), pnlFileProperties);
    label->move(10, 52);
    optIsTextFile = new QRadioButton(QStringLiteral("Text File"), pnlFileProperties);
    optIsTextFile->setObjectName(QStringLiteral("optIsTextFile"));
    optIsTextFile->setGeometry(18, 68, 100, 18);
    optIsOtherFile = new QRadioButton(QStringLiteral("Other File Type"), pnlFileProperties);
    optIsOtherFile->setObjectName(QStringLiteral("optIsOtherFile"));
    optIsOtherFile->setGeometry(118, 68, 115, 18);
    optIsOtherFile->setChecked(true);
    optIsTextFile->installEventFilter(this);
    optIsOtherFile->installEventFilter(this);

    GroupBoxFileLimits = new QGroupBox(pnlFileProperties);
    GroupBoxFileLimits->setObjectName(QStringLiteral("GroupBoxFileLimits"));
    GroupBoxFileLimits->setGeometry(8, 100, 222, 86);
    // The check box takes the frame's caption position.
    optFileSizeLimit = new QCheckBox(QStringLiteral("File Size Limitations"), pnlFileProperties);
    optFileSizeLimit->setObjectName(QStringLiteral("optFileSizeLimit"));
    optFileSizeLimit->setGeometry(16, 92, 150, 18);
    optFileSizeLimit->setAutoFillBackground(true);
    optFileSizeLimit->raise();
    connect(optFileSizeLimit, &QCheckBox::clicked, this, [this] { optFileSizeLimitClick(); });

    lblUpper = new QLabel(QStringLiteral("Upper File Size (kb)"), GroupBoxFileLimits);
    lblUpper->setObjectName(QStringLiteral("lblUpper"));
    lblUpper->move(10, 26);
    txtFileSizeUpper = new TCorvEdit(GroupBoxFileLimits);
    txtFileSizeUpper->setObjectName(QStringLiteral("txtFileSizeUpper"));
    txtFileSizeUpper->setGeometry(140, 22, 72, 21);
    lblLower = new QLabel(QStringLiteral("Lower File Size (kb)"), GroupBoxFileLimits);
    lblLower->setObjectName(QStringLiteral("lblLower"));
    lblLower->move(10, 54);
    txtFileSizeLower = new TCorvEdit(GroupBoxFileLimits);
    txtFileSizeLower->setObjectName(QStringLiteral("txtFileSizeLower"));
    txtFileSizeLower->setGeometry(140, 50, 72, 21);
    for (TCorvEdit* box : {txtFileSizeUpper, txtFileSizeLower}) {
        box->SetNumericOnly(true);
        box->SetMax(kUpperBoundKB);
        box->SetMin(0);
        box->SetRegStore(false);
        box->OnKeyPress = [this](char&) { MarkChanged(); };
    }

    btnApplyFileChanges = new QPushButton(QStringLiteral("Apply"), pnlFileProperties);
    btnApplyFileChanges->setObjectName(QStringLiteral("btnApplyFileChanges"));
    btnApplyFileChanges->setGeometry(153, 194, 75, 25);
    btnApplyFileChanges->setEnabled(false);
    connect(btnApplyFileChanges, &QPushButton::clicked, this,
            [this] { btnApplyFileChangesClick(); });

    SetFileLimits(false);
}

bool TRuleEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PTListView1 &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        // Key down shows the rule still selected; key up the newly selected one.
        if (event->type() == QEvent::KeyRelease) {
            QWidget::eventFilter(watched, event);
            UpdateInfoBox();
            return false;
        }
        UpdateInfoBox();
    } else if (watched == txtFileName && event->type() == QEvent::KeyPress) {
        if (!static_cast<QKeyEvent*>(event)->text().isEmpty()) MarkChanged();
    } else if ((watched == optIsTextFile || watched == optIsOtherFile) &&
               event->type() == QEvent::MouseButtonRelease) {
        MarkChanged();
    }
    return QWidget::eventFilter(watched, event);
}

void TRuleEditor::setRuleChanged(bool changed) { bRuleChanged_ = changed; }

void TRuleEditor::MarkChanged() {
    setRuleChanged(true);
    btnApplyFileChanges->setEnabled(true);
}

int TRuleEditor::SelectedIndex() const {
    const auto selected = PTListView1->selectedItems();
    if (selected.isEmpty()) return -1;
    return PTListView1->row(selected.first());
}

int TRuleEditor::ItemImageIndex(int item) const {
    const QListWidgetItem* it = PTListView1->item(item);
    return it ? it->data(kImageIndexRole).toInt() : -1;
}

void TRuleEditor::addListItem(const QString& caption) {
    auto* item = new QListWidgetItem(caption, PTListView1);
    item->setData(kImageIndexRole, -1);
}

void TRuleEditor::ClearRulesAndList() {
    rules_.clear();
    PTListView1->clear();
}

void TRuleEditor::FillListFromRules() {
    for (const auto& rule : rules_) addListItem(DecodeBytes(rule.pattern()));
}

void TRuleEditor::RefreshIcons() {
    std::map<std::string, int> cache;
    imglstComplete.clear();
    imglstComplete.push_back(imglstExtras);
    for (int i = 0; i < PTListView1->count(); ++i) {
        QListWidgetItem* item = PTListView1->item(i);
        const std::string extension = extensionOf(EncodeText(item->text()));
        int index = 0;
        if (extension != ".*") {
            const auto cached = cache.find(foldCase(extension));
            index = cached != cache.end() ? cached->second : GetIconIndex(extension, cache);
        }
        item->setData(kImageIndexRole, index);
        item->setIcon(imglstComplete[index]);
    }
}

int TRuleEditor::GetIconIndex(const std::string& extension, std::map<std::string, int>& cache) {
    const QIcon icon = GetAppIcon(extension);
    const int index = static_cast<int>(imglstComplete.size());
    imglstComplete.push_back(icon);
    cache[foldCase(extension)] = index;
    return index;
}

QIcon TRuleEditor::GetAppIcon(const std::string& extension) {
    // The extension keeps its dot, so the scratch name has two in a row.
    return iconSource ? iconSource(platform::fs::tempDirectory(), kScratchPrefix + extension)
                      : QIcon();
}

void TRuleEditor::ClearProperties() {
    txtFileName->clear();
    optIsOtherFile->setChecked(true);
    txtFileSizeUpper->clear();
    txtFileSizeLower->clear();
    optFileSizeLimit->setChecked(false);
    optFileSizeLimitClick();
}

int TRuleEditor::GetListIndex(const QString& text) const {
    const std::string wanted = EncodeText(text);
    int found = 0;
    for (std::size_t i = 0; i < rules_.size(); ++i)
        if (rules_[i].pattern() == wanted) found = static_cast<int>(i);
    return found;
}

void TRuleEditor::UpdateInfoBox() {
    const int selected = SelectedIndex();
    if (selected < 0) return;
    const int index = GetListIndex(PTListView1->item(selected)->text());
    if (bRuleChanged_) {
        // Edits not applied are dropped.
        setRuleChanged(false);
        btnApplyFileChanges->setEnabled(false);
    }
    ClearProperties();
    if (index < 0 || index >= static_cast<int>(rules_.size())) return;
    const engine::TAllowedFiles& rule = rules_[index];
    txtFileName->setText(DecodeBytes(rule.pattern()));
    if (rule.iFileKind != engine::kKindText)
        optIsOtherFile->setChecked(true);
    else
        optIsTextFile->setChecked(true);
    if (rule.iSizeGreater == -1) {
        SetFileLimits(false);
    } else {
        SetFileLimits(true);
        optFileSizeLimit->setChecked(true);
        txtFileSizeUpper->setText(QString::number(rule.iSizeGreater));
        txtFileSizeLower->setText(QString::number(rule.iSizeLesser));
    }
}

void TRuleEditor::SetFileLimits(bool on) {
    QPalette labels = lblUpper->palette();
    labels.setColor(QPalette::WindowText, on ? palette().color(QPalette::WindowText) : kGreyText);
    lblUpper->setPalette(labels);
    lblLower->setPalette(labels);
    for (TCorvEdit* box : {txtFileSizeUpper, txtFileSizeLower}) {
        box->setEnabled(on);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base,
                     on ? palette().color(QPalette::Base) : palette().color(QPalette::Button));
        box->setPalette(pal);
    }
    if (!on) {
        txtFileSizeLower->clear();
        txtFileSizeUpper->clear();
    }
}

void TRuleEditor::optFileSizeLimitClick() { SetFileLimits(optFileSizeLimit->isChecked()); }

void TRuleEditor::AddToLists() {
    const QString text = txtFileName->text();
    addListItem(text);
    RefreshIcons();
    // A pasted size that is not a number counts as no size at all.
    const auto rule = engine::RuleFromEditor(
        EncodeText(text),
        optIsTextFile->isChecked() ? engine::EditorFileKind::Text : engine::EditorFileKind::Other,
        optFileSizeLimit->isChecked() ? engine::SizeLimits::On : engine::SizeLimits::Off,
        numberIn(txtFileSizeUpper->text()), numberIn(txtFileSizeLower->text()));
    rules_.push_back(rule);
    ClearProperties();
}

void TRuleEditor::ModifyList(int index) {
    if (index != -1 && index < static_cast<int>(rules_.size()) && index < PTListView1->count()) {
        rules_.erase(rules_.begin() + index);
        delete PTListView1->takeItem(index);
    }
    AddToLists();
    ClearProperties();
    RefreshIcons();
    clearSelection();
}

void TRuleEditor::clearSelection() {
    // The list moves its current row to a neighbour when an item goes; that
    // row must not look chosen, or the next Delete would remove it.
    PTListView1->clearSelection();
    PTListView1->setCurrentItem(nullptr);
}

void TRuleEditor::btnApplyFileChangesClick() {
    btnApplyFileChanges->setEnabled(false);
    setRuleChanged(false);
    ModifyList(SelectedIndex());
}

void TRuleEditor::Button2Click() {
    const auto answer =
        dialogs_().inputBox("Harvex", "Enter new filename, eg: *.doc, p*.mp3", std::string());
    ClearProperties();
    clearSelection();
    txtFileName->setText(DecodeBytes(answer.value_or(std::string())));
    btnApplyFileChanges->setEnabled(true);
}

void TRuleEditor::AddFileType1Click() {
    const auto answer =
        dialogs_().inputBox("Harvex", "Enter new filename, eg: *.doc, p*.mp3", std::string());
    ClearProperties();
    txtFileName->setText(DecodeBytes(answer.value_or(std::string())));
    btnApplyFileChanges->setEnabled(true);
}

void TRuleEditor::Button1Click() {
    const int selected = SelectedIndex();
    if (selected < 0) return;
    ClearProperties();
    const int index = GetListIndex(PTListView1->item(selected)->text());
    if (index >= static_cast<int>(rules_.size()) || index >= PTListView1->count()) return;
    rules_.erase(rules_.begin() + index);
    delete PTListView1->takeItem(index);
    clearSelection();
}

void TRuleEditor::PTListView1Click() { UpdateInfoBox(); }

}  // namespace ui
