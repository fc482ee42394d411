#include <utility>

#include "cinemill/app/engine.h"
#include "cinemill/app/file_flows.h"
#include "cinemill/app/menu_state.h"
#include "cinemill/base/preferences.h"

// What the main window asks of the engine beside the commands: the recent
// files it keeps in the settings, the clipboard's state when the window is
// activated, and the download speed of the size pane.
namespace cinemill {

using namespace refresh;

void Engine::SetRecentFiles(std::vector<std::string> recent) {
    if (recent.size() > static_cast<size_t>(files::kMaxRecent)) recent.resize(files::kMaxRecent);
    state_.recent = std::move(recent);
}

CommandResult Engine::RefreshPasteAvailable() {
    const bool now = clipboard_.HasFrame();
    if (now == state_.pasteAvailable) return {Result::Done, 0};
    state_.pasteAvailable = now;
    return {Result::Done, kClipboard};
}

CommandResult Engine::SetDownloadSpeed(int command_id) {
    const int speed = DownloadSpeedOf(command_id);
    if (speed < 0) return {Result::Done, 0};
    prefs_.Set(PreferenceBlock::kDownloadSpeed, static_cast<uint32_t>(speed));
    return {Result::Done, kSize};
}

}  // namespace cinemill
