#include "branchwork/ui/qt_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QMessageBox>
#include <QUrl>

#include "branchwork/base/texts.h"
#include "branchwork/qtwidgets/color_picker.h"
#include "branchwork/ui/dialogs.h"

namespace branchwork {

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const int paren = name.indexOf(" (");
        if (paren >= 0) name = name.left(paren);
        out << name + " (" + parts[i + 1].split(';').join(' ') + ")";
    }
    return out.join(";;");
}

void QtUiHost::Message(const std::string& text, MessageIcon icon) {
    const QString t = QString::fromStdString(text);
    switch (icon) {
        case MessageIcon::Error: QMessageBox::critical(window, texts::kAppTitle, t); break;
        case MessageIcon::Information: QMessageBox::information(window, texts::kAppTitle, t); break;
        case MessageIcon::Confirmation: QMessageBox::information(window, texts::kAppTitle, t); break;
    }
}

bool QtUiHost::ConfirmOkCancel(const std::string& text) {
    return QMessageBox::question(window, texts::kAppTitle, QString::fromStdString(text),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

std::optional<bool> QtUiHost::AskOutputOptions() {
    // Asked by a Send of the applet form: only the node information is open.
    TfrmOutputOptions d(window);
    d.optHtmlMenu->setEnabled(false);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.optApplet->isChecked();
}

std::string QtUiHost::AskGraphicsDirectory(const std::string& page_dir) {
    TfrmGraphicsDir d(page_dir, window);
    d.exec();
    return d.Directory();
}

std::optional<std::string> QtUiHost::AskPageFileName() {
    TfrmGetFilename d(*this, window);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.txtFileName->text().toStdString();
}

void QtUiHost::SetBusy(bool on) {
    if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void QtUiHost::MinimizeWindow() {
    if (window) window->showMinimized();
}

void QtUiHost::RestoreWindow() {
    if (window) window->showNormal();
}

AppletKind QtPrompts::AskNewAppletKind() {
    TfrmNewApplet d(window);
    d.exec();
    return d.Kind();
}

bool QtPrompts::AskQuit() {
    return QMessageBox::question(window, texts::kAppTitle, texts::kQuit, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::AskOpenFile(const std::string& title, const std::string& filter,
                                                  const std::string& start) {
    const QString f = QFileDialog::getOpenFileName(window, QString::fromStdString(title),
                                                   QString::fromStdString(start), QtFileFilter(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::vector<std::string> QtPrompts::AskOpenFiles(const std::string& filter, const std::string& start) {
    std::vector<std::string> out;
    for (const QString& f :
         QFileDialog::getOpenFileNames(window, "Open", QString::fromStdString(start), QtFileFilter(filter)))
        out.push_back(f.toStdString());
    return out;
}

std::optional<std::string> QtPrompts::AskSaveFile(const std::string& filter) {
    QFileDialog d(window, "Save", QString(), QtFileFilter(filter));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix("bwk");
    d.setFileMode(QFileDialog::AnyFile);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().front().toStdString();
}

std::optional<Color> QtPrompts::PickColor(Color current) {
    QtUiHost host;
    host.window = window;
    TfrmColorPicker d(host, window);
    d.SetColor(current);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.PickedColor();
}

std::optional<SendChoice> QtPrompts::AskSendChoice(AppletKind kind, const SendChoice& start) {
    TfrmOutputOptions d(window);
    d.SetChoice(kind, start);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Choice();
}

void QtPrompts::OpenUrl(const std::string& url) {
    if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(url))))
        QMessageBox::critical(window, texts::kAppTitle, "Couldn't launch default browser");
}

}  // namespace branchwork
