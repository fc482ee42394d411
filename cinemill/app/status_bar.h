#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/doc/animation.h"

// The status bar's texts and the download-time figures, as pure functions.
namespace cinemill {

// ---- download time -------------------------------------------------------------------------

struct DownloadSpeed {
    std::string_view name;  // "28.8K"
    int bitsPerSecond;
};
constexpr int kDownloadSpeedCount = 6;
constexpr int kDefaultDownloadSpeed = 1;
// The speed of an index; an index outside 0..5 gives the default speed.
const DownloadSpeed& DownloadSpeedAt(int index);
// Seconds to fetch `bytes` at the speed: bytes x 8 / bits per second.
double DownloadSeconds(int64_t bytes, int speed_index);
// "%.1fsecs", or "< 0.1sec" below a tenth of a second. The status bar shows
// the seconds from 0.1 on; the menu only above 0.1 (`for_menu`).
std::string DownloadTimeText(int64_t bytes, int speed_index, bool for_menu);

// One item of the View > Download Time pop-up.
struct DownloadMenuItem {
    int commandId;
    std::string text;  // "%s :\t %s" (name, time) when the size is known, else the name
    bool checked;
};
// The six items; `file_size` is known when there is a document and no size
// count runs (the engine fetches the cached or counted size).
std::vector<DownloadMenuItem> DownloadMenuItems(std::optional<int64_t> file_size, int chosen_speed);

// ---- numbers -------------------------------------------------------------------------------

// The thousands separator from the locale's setting: its first character,
// ',' when there is no setting, none when the setting is empty.
std::string ThousandsSeparator(std::optional<std::string_view> setting);
// Digits grouped by three from the right with `separator` between groups
// ("1,234,567").
std::string GroupDigits(int64_t n, std::string_view separator = ",");

// ---- panes ---------------------------------------------------------------------------------

// Right edges of the five panes, in pixels.
constexpr std::array<int, 5> kPaneRightEdges = {120, 190, 270, 510, 560};

// "  Frame #%d of %d", or "  None of %d frames" without a selection.
std::string FramePaneText(int selected, int frame_count);
// "  %d × %d" (logical screen).
std::string DimensionPaneText(uint32_t width, uint32_t height);
// "  %.2f secs" from the sum of the delays in hundredths.
std::string TotalTimePaneText(uint64_t total_delay);
// "  File Size: %s bytes  (%s at %s)", or "  File Size: Calculating..."
// while the size is unknown (none or negative).
std::string FileSizePaneText(std::optional<int64_t> file_size, int speed_index,
                             std::string_view separator = ",");
// "  %d%%" with the zoom percent of the level.
std::string ZoomPaneText(int zoom_level);

// The sum of every frame's delay.
uint64_t TotalDelay(const Animation& a);

// The facts the whole bar depends on.
struct StatusInput {
    bool hasDocument = false;
    int frameCount = 0;
    int selectedFrame = -1;
    uint32_t width = 0, height = 0;
    uint64_t totalDelay = 0;
    std::optional<int64_t> fileSize;  // none while the size task counts
    int downloadSpeed = kDefaultDownloadSpeed;
    int zoomLevel = 0;
    std::string separator = ",";
};

struct StatusBarTexts {
    bool simple = true;         // no document: one text, no panes
    std::string simpleText;     // "Ready to Animate"
    std::array<std::string, 5> panes;
};

StatusBarTexts ComputeStatusBar(const StatusInput& in);

}  // namespace cinemill
