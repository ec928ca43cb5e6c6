#pragma once

#include <QIcon>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/AllowedFiles.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;

namespace platform {
class Dialogs;
}

namespace ui {

class TCorvEdit;

// The file-type rule editor of wizard page 4: the rules as a list of patterns
// with the icon of each extension, and a properties panel in which one rule is
// shown, edited and applied. Item i of the list always shows rule i.
class TRuleEditor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kUpperBoundKB = 100000;

    // rules and ruleChanged are the job's rule table and its bRuleChanged flag.
    TRuleEditor(QWidget* parent, engine::TAllowedFilesList& rules, bool& ruleChanged,
                std::function<platform::Dialogs&()> dialogs);

    // --- Operations ---
    void RefreshIcons();
    int GetIconIndex(const std::string& extension, std::map<std::string, int>& cache);
    QIcon GetAppIcon(const std::string& extension);
    void ClearProperties();
    int GetListIndex(const QString& text) const;
    void UpdateInfoBox();
    void ModifyList(int index);
    void AddToLists();
    void SetFileLimits(bool on);

    // Empties the rule table and the list.
    void ClearRulesAndList();
    // One list item per rule, in table order.
    void FillListFromRules();

    // --- Handlers ---
    void PTListView1Click();
    void btnApplyFileChangesClick();
    void Button2Click();  // New File
    void Button1Click();  // Delete File
    void AddFileType1Click();
    void DeleteFile1Click() { Button1Click(); }
    void optFileSizeLimitClick();
    void MarkChanged();

    // The icon look-up; tests replace it. Receives the scratch folder and name.
    std::function<QIcon(const std::string& folder, const std::string& fileName)> iconSource;

    // --- Controls ---
    QListWidget* PTListView1;
    QWidget* pnlFileProperties;
    QLineEdit* txtFileName;
    QRadioButton* optIsTextFile;
    QRadioButton* optIsOtherFile;
    QGroupBox* GroupBoxFileLimits;
    QCheckBox* optFileSizeLimit;
    QLabel* lblUpper;
    QLabel* lblLower;
    TCorvEdit* txtFileSizeUpper;
    TCorvEdit* txtFileSizeLower;
    QPushButton* btnApplyFileChanges;
    QPushButton* Button2;
    QPushButton* Button1;
    QMenu* mnuAddItem;
    QAction* AddFileType1;
    QAction* DeleteFile1;

    QIcon imglstExtras;
    std::vector<QIcon> imglstComplete;

    // The image index of list item i (for checks).
    int ItemImageIndex(int item) const;
    int SelectedIndex() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addListItem(const QString& caption);
    void setRuleChanged(bool changed);
    // Leaves no list item selected and no current item.
    void clearSelection();

    engine::TAllowedFilesList& rules_;
    bool& bRuleChanged_;
    std::function<platform::Dialogs&()> dialogs_;
};

}  // namespace ui
