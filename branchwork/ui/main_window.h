#pragma once

#include <QMainWindow>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>

#include "branchwork/base/ui_host.h"
#include "branchwork/host/host_editor.h"
#include "branchwork/model/editor_state.h"
#include "branchwork/model/project.h"
#include "branchwork/ui/prompts.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QScrollBar;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QVBoxLayout;

namespace branchwork {

class TTolvEdit;

// A preview tree view: nodes can be dragged onto other nodes of the same
// tree; the drop itself is decided by the project (MoveNode).
class TNodeTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TNodeTreeView(QWidget* parent = nullptr);
    // Drops the selected node at a point of the viewport; true when moved.
    std::function<bool(QPoint)> onDrop;
    // The drop zone of a viewport point over an item.
    DropZone ZoneAt(QPoint pos) const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    QPoint pressPos_;
    bool pressed_ = false;
};

// The builder's main window: the tool bar, the preview and the three
// editing pages. Every edit goes through NavigationProject; the window only
// shows the project and passes on what the user does.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // page: the HTML page named on the command line (empty: none).
    // program_dir: the data folder with help/JClass/ (trailing separator).
    TfrmMain(BwUiHost& ui, BwPrompts& prompts, std::string page, std::string program_dir,
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    NavigationProject& Project() { return *project_; }
    // The first showing: import the page's applet, else ask for a new kind.
    void Startup();
    // Shows the whole project again (after New, Load, Send and structural edits).
    void RefreshAll();
    TNodeTreeView* TreeOfTab(int index) const;
    QTreeWidgetItem* ItemOf(const TreeNode* node) const;
    const std::string& SessionPagePath() const { return page_.path; }
    // The help page opened by the Help button.
    std::string HelpPagePath() const;
    // Lets tests and special hosts replace the page-file host of Send.
    std::function<HostFactory(const std::string& page)> hostFactoryFor;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void BuildToolBar();
    // Fill the editing pages' layouts.
    void BuildTabPage(QVBoxLayout* v);
    void BuildTreePage(QVBoxLayout* v);
    void BuildStylePage(QVBoxLayout* v);
    void Wire();

    void RefreshPreview();
    void RefreshTabFields();
    void ShowNode(TreeNode* node);
    void RefreshDefaultTabCombo();
    void RefreshBrowser();
    void RefreshStyle();
    void ApplyKind();
    void FillTree(TNodeTreeView* view, TAppletPage& page);
    void UpdateItemIcon(QTreeWidgetItem* item);
    QIcon ImageIcon(int index) const;
    QPixmap ImagePixmap(int index) const;

    void OnTabChanged(int index);
    void OnTabFieldsEdited();
    void OnNodeFieldsEdited();
    void OnNew();
    void OnLoad();
    void OnSave();
    void OnSend();
    void OnAddImages();
    void OnSwatch(Swatch s);
    bool DropAt(TNodeTreeView* view, QPoint pos);
    void ApplyPreviewSize();

    BwUiHost& ui_;
    BwPrompts& prompts_;
    SessionPage page_;
    std::string programDir_;
    std::unique_ptr<NavigationProject> project_;
    bool filling_ = false;
    bool started_ = false;

    // preview
    QScrollArea* scrollPreview_ = nullptr;
    QTabWidget* pgeTree_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QWidget *pageTab_ = nullptr, *pageTree_ = nullptr, *pageStyle_ = nullptr;
    // Tab page
    QGroupBox* grpTabs_ = nullptr;
    QLineEdit *txtTabName_, *txtTabStatusText_, *txtTabURL_, *txtTabURL2_;
    QComboBox *cmbTabTarget_, *cmbTabTarget2_, *cmbDefaultTab_;
    QSpinBox* posTab_;
    // Tree page
    QGroupBox* grpTree_ = nullptr;
    QLineEdit *txtNodeText_, *txtStatusText_, *txtURL_, *txtURL2_;
    QComboBox *cmbTarget_, *cmbTarget2_;
    QScrollBar* scrollImgPrev_;
    QLabel* imgPrev_[5];
    QLabel *imgDefCollapsed_, *imgDefExpanded_, *imgDefChild_, *imgCollapsed_, *imgExpanded_;
    QLabel *label7_, *label8_;
    QToolButton* btnSetExpanded_;
    // Style page
    QGroupBox *grpSize_, *grpTabStyle_, *grpTreeStyle_;
    TTolvEdit *txtAppletWidth_, *txtAppletHeight_;
    QComboBox *cmbTabFont_, *cmbTabFontSize_, *cmbTreeFont_, *cmbTreeFontSize_;
    QRadioButton *optTabOnTop_, *optTabOnBottom_;
    QCheckBox *chkBorder_, *chkAutoExpand_, *chkDoubleClick_;
    QLabel* swatches_[kSwatchCount];
};

}  // namespace branchwork
