#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"
#include "branchwork/ui/prompts.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace branchwork {

// The splash screen; OK with the box ticked stores Splash2 = false.
class TfrmSplash : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    QCheckBox* chkShow;
};

// "New Applet": the kind of the new project; "Tab and Tree" at first.
class TfrmNewApplet : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNewApplet(QWidget* parent = nullptr);
    AppletKind Kind() const;
    QRadioButton *optTab, *optTree, *optTabAndTree;
};

// "Output to HTML", asked at every Send: the applet markup (the default)
// or the HTML menu; for the applet form of the Tree kinds, node information
// inside the applet or in files; for the HTML menu, its script and style
// inside the page or in files next to it. Only the options of the chosen
// form are enabled.
class TfrmOutputOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOutputOptions(QWidget* parent = nullptr);
    // Shows `c` for a project of `kind` (the Tab kind keeps its nodes in
    // the applet, so its node-information choice stays off).
    void SetChoice(AppletKind kind, const SendChoice& c);
    SendChoice Choice() const;
    QRadioButton *optAppletForm, *optHtmlMenu;
    QGroupBox* grpNodeInfo;
    QRadioButton *optApplet, *optFile;
    QGroupBox* grpHtmlMenuFiles;
    QRadioButton *optInline, *optExternalFiles;

private:
    void UpdateEnabled();
    AppletKind kind_ = AppletKind::TabAndTree;
};

// "Select Graphics Directory": where the images are copied.
class TfrmGraphicsDir : public QDialog {
    Q_OBJECT
public:
    TfrmGraphicsDir(const std::string& page_dir, QWidget* parent = nullptr);
    std::string Directory() const;
    QLabel* lblSaveDir;
    QLineEdit* txtSaveDir;
};

// "Enter Save Directory": the full path of the page; OK only with an
// existing file, the checks told through the host.
class TfrmGetFilename : public QDialog {
    Q_OBJECT
public:
    TfrmGetFilename(BwUiHost& host, QWidget* parent = nullptr);
    QLineEdit* txtFileName;
    void accept() override;

private:
    BwUiHost& host_;
};

// Splash settings under the builder's key.
bool SplashWanted();
void StoreSplashChoice(bool dont_show_again);
// The output form of the last Send (applet markup or HTML menu, inline or
// external script and style), kept under the builder's key; the applet form
// when nothing is stored. The node information is not kept.
SendChoice StoredSendChoice();
void StoreSendChoice(const SendChoice& c);

}  // namespace branchwork
