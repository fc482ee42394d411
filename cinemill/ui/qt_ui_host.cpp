#include "cinemill/ui/qt_ui_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "cinemill/base/strings.h"
#include "cinemill/doc/animation.h"
#include "cinemill/ui/avi_compression_dialog.h"
#include "cinemill/ui/filmstrip_export_dialog.h"
#include "cinemill/ui/filmstrip_import_dialog.h"
#include "cinemill/ui/hotspot_dialog.h"
#include "cinemill/ui/merge_questions.h"
#include "cinemill/ui/psd_layers_dialog.h"

namespace cinemill {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QString QtNameFilter(const std::string& description, const std::string& patterns) {
    QString d = Q(description);
    const QString p = Q(patterns).split(';', Qt::SkipEmptyParts).join(' ');
    // Qt reads the patterns from the last parentheses: a description that
    // already names other ones (or none) gets the real patterns appended.
    const int paren = d.lastIndexOf(" (");
    if (paren >= 0 && d.endsWith(')')) d = d.left(paren);
    return d + " (" + p + ")";
}

QtUiHost::QtUiHost(QWidget* w) : window(w) {
    runBox = [this](const MessageRequest& r) { return ShowBox(window, r); };
    runOpen = [this](const OpenRequest& r) { return ShowOpen(window, r); };
    runSave = [this](const SaveRequest& r) { return ShowSave(window, r); };
}

void QtUiHost::Error(const std::string& text) {
    runBox({Q(std::string(LoadString(StringId::ErrorCaption))), Q(text), QMessageBox::Warning, QMessageBox::Ok});
}

void QtUiHost::Message(const std::string& text, const std::string& caption) {
    runBox({Q(caption), Q(text), QMessageBox::Warning, QMessageBox::Ok});
}

bool QtUiHost::AskYesNo(const std::string& text, const std::string& title) {
    return runBox({Q(title), Q(text), QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No}) ==
           QMessageBox::Yes;
}

Answer QtUiHost::AskYesNoCancel(const std::string& text, const std::string& caption) {
    const auto b = runBox({Q(caption), Q(text), QMessageBox::Warning,
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
    if (b == QMessageBox::Yes) return Answer::Yes;
    if (b == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

bool QtUiHost::AskOkCancel(const std::string& text, const std::string& caption) {
    return runBox({Q(caption), Q(text), QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel}) ==
           QMessageBox::Ok;
}

std::vector<std::string> QtUiHost::AskOpenFiles(
    const std::string& title, const std::vector<std::pair<std::string, std::string>>& filter) {
    OpenRequest r{Q(title), {}, initDir};
    for (const auto& [d, p] : filter) r.filters << QtNameFilter(d, p);
    const QStringList chosen = runOpen(r);
    std::vector<std::string> out;
    for (const QString& f : chosen) out.push_back(f.toStdString());
    if (!chosen.isEmpty()) {
        initDir = QFileInfo(chosen.front()).absolutePath();
        if (initDirChanged) initDirChanged(initDir);
    }
    return out;
}

std::optional<std::string> QtUiHost::AskSavePath(const std::string& title, const std::string& filter_pattern,
                                                 const std::string& start) {
    // The pattern is "*.gif" (or "*.avi", "*.ani"): the suffix follows it.
    QString suffix = Q(filter_pattern);
    if (suffix.startsWith("*.")) suffix = suffix.mid(2);
    const QString desc = suffix.toUpper() + " File";
    SaveRequest r{Q(title), QtNameFilter(desc.toStdString(), filter_pattern), suffix, Q(start)};
    const QString chosen = runSave(r);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

void QtUiHost::Beep() { QApplication::beep(); }

uint32_t QtUiHost::AskPaletteMerge(uint32_t current) { return AskPaletteMergeDialog(window, current); }

uint32_t QtUiHost::AskFrameSizeConflict(uint32_t current) { return AskFrameSizeConflictDialog(window, current); }

std::optional<PsdLayerChoice> QtUiHost::AskPsdLayers(const PsdLayerChoice& preset) {
    return AskPsdLayersDialog(window, preset);
}

std::optional<FilmstripExportOptions> QtUiHost::AskFilmstripExport(const FilmstripExportOptions& preset,
                                                                   int frame_count) {
    const Animation* doc = document ? document() : nullptr;
    const int w = doc ? static_cast<int>(doc->width) : 0;
    const int h = doc ? static_cast<int>(doc->height) : 0;
    return AskFilmstripExportDialog(window, preset, frame_count, w, h);
}

std::optional<FilmstripImportOptions> QtUiHost::AskFilmstripImport(const FilmstripImportOptions& preset) {
    return AskFilmstripImportDialog(window, preset);
}

std::optional<AviCompressionChoice> QtUiHost::AskAviCompression(const std::vector<std::string>& codecs) {
    return AskAviCompressionDialog(window, codecs);
}

std::pair<int, int> QtUiHost::AskHotspot(int x, int y, int width, int height) {
    return AskHotspotDialog(window, x, y, width, height, document ? document() : nullptr);
}

QMessageBox::StandardButton QtUiHost::ShowBox(QWidget* parent, const MessageRequest& r) {
    QMessageBox box(r.icon, r.caption, r.text, r.buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList QtUiHost::ShowOpen(QWidget* parent, const OpenRequest& r) {
    QFileDialog d(parent, r.title, r.startDir);
    d.setFileMode(QFileDialog::ExistingFiles);
    d.setNameFilters(r.filters);
    d.setDefaultSuffix("gif");
    if (d.exec() != QDialog::Accepted) return {};
    return d.selectedFiles();
}

QString QtUiHost::ShowSave(QWidget* parent, const SaveRequest& r) {
    QFileDialog d(parent, r.title);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setNameFilter(r.filter);
    d.setDefaultSuffix(r.defaultSuffix);
    if (!r.start.isEmpty()) {
        const QFileInfo fi(r.start);
        d.setDirectory(fi.absolutePath());
        d.selectFile(fi.fileName());
    }
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().front();
}

}  // namespace cinemill
