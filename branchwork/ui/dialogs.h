#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"

class QCheckBox;
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

// "Output to HTML": node information inside the applet or in files.
class TfrmOutputOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOutputOptions(QWidget* parent = nullptr);
    QRadioButton *optApplet, *optFile;
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

}  // namespace branchwork
