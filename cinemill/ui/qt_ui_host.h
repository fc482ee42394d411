#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

#include "cinemill/base/ui_host.h"

class QWidget;

namespace cinemill {

struct Animation;

// One message box as the editor asks for it: caption, text, icon and
// buttons. The box's runner shows it and answers the button pressed.
struct MessageRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// The open dialog's request: its title and Qt name filters ("GIF Files
// (*.gif)", ...); the runner answers the chosen paths (none for Cancel).
struct OpenRequest {
    QString title;
    QStringList filters;
    QString startDir;
};

// The save dialog's request; the runner answers the path, or empty for Cancel.
struct SaveRequest {
    QString title;
    QString filter;
    QString defaultSuffix;
    QString start;
};

// The engine's messages, questions and file dialogs as Qt dialogs. The three
// runners show the real dialogs; tests replace them to script the answers
// and to see what was asked.
class QtUiHost : public UiHost {
public:
    explicit QtUiHost(QWidget* window = nullptr);

    QWidget* window = nullptr;
    std::function<QMessageBox::StandardButton(const MessageRequest&)> runBox;
    std::function<QStringList(const OpenRequest&)> runOpen;
    std::function<QString(const SaveRequest&)> runSave;
    // The folder the open dialog starts in (the settings' "InitDir"); set
    // to the folder of the files chosen.
    QString initDir;
    std::function<void(const QString&)> initDirChanged;
    // The document the export and hot-spot dialogs show (none: they show
    // only their fields).
    std::function<const Animation*()> document;

    void Error(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    void Message(const std::string& text, const std::string& caption) override;
    Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    std::vector<std::string> AskOpenFiles(
        const std::string& title, const std::vector<std::pair<std::string, std::string>>& filter) override;
    std::optional<std::string> AskSavePath(const std::string& title, const std::string& filter_pattern,
                                           const std::string& start) override;
    void Beep() override;

    // The merging questions and the import and export option dialogs.
    uint32_t AskPaletteMerge(uint32_t current) override;
    uint32_t AskFrameSizeConflict(uint32_t current) override;
    std::optional<PsdLayerChoice> AskPsdLayers(const PsdLayerChoice& preset) override;
    std::optional<FilmstripExportOptions> AskFilmstripExport(const FilmstripExportOptions& preset,
                                                             int frame_count) override;
    std::optional<FilmstripImportOptions> AskFilmstripImport(const FilmstripImportOptions& preset) override;
    std::optional<AviCompressionChoice> AskAviCompression(const std::vector<std::string>& codecs) override;
    std::pair<int, int> AskHotspot(int x, int y, int width, int height) override;

    // The real dialogs.
    static QMessageBox::StandardButton ShowBox(QWidget* parent, const MessageRequest& r);
    static QStringList ShowOpen(QWidget* parent, const OpenRequest& r);
    static QString ShowSave(QWidget* parent, const SaveRequest& r);
};

// A Qt name filter of one description and pattern pair: "GIF Files
// (*.gif)" with "*.gif" stays; "All Supported Formats" with
// "*.gif;*.avi" becomes "All Supported Formats (*.gif *.avi)".
QString QtNameFilter(const std::string& description, const std::string& patterns);

}  // namespace cinemill
