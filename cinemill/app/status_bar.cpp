#include "cinemill/app/status_bar.h"

#include <cstdio>

#include "cinemill/app/command_id.h"
#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/strings.h"
#include "cinemill/app/number_text.h"

namespace cinemill {
namespace {

constexpr std::array<DownloadSpeed, kDownloadSpeedCount> kSpeeds = {{
    {"14.4K", 14400},
    {"28.8K", 28800},
    {"33.6K", 33600},
    {"56K", 56000},
    {"64K", 64000},
    {"128K", 128000},
}};

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, decimals == 1 ? "%.1f" : "%.2f", v);
    return buf;
}

std::string Text(StringId id) { return std::string(LoadString(id)); }

// Replaces the "%d" tokens of a table text in order.
std::string WithNumbers(StringId id, std::initializer_list<int64_t> numbers) {
    std::string text = Text(id);
    for (int64_t n : numbers) text = ReplaceToken(std::move(text), "%d", std::to_string(n));
    return text;
}

}  // namespace

const DownloadSpeed& DownloadSpeedAt(int index) {
    if (index < 0 || index >= kDownloadSpeedCount) index = kDefaultDownloadSpeed;
    return kSpeeds[static_cast<size_t>(index)];
}

double DownloadSeconds(int64_t bytes, int speed_index) {
    return static_cast<double>(bytes) * 8.0 / DownloadSpeedAt(speed_index).bitsPerSecond;
}

std::string DownloadTimeText(int64_t bytes, int speed_index, bool for_menu) {
    const double t = DownloadSeconds(bytes, speed_index);
    const bool shown = for_menu ? t > 0.1 : t >= 0.1;
    if (!shown) return Text(StringId::DownloadUnderTenth);
    return ReplaceToken(Text(StringId::DownloadSeconds), "%.1f", Fixed(t, 1));
}

std::vector<DownloadMenuItem> DownloadMenuItems(std::optional<int64_t> file_size, int chosen_speed) {
    if (chosen_speed < 0 || chosen_speed >= kDownloadSpeedCount) chosen_speed = kDefaultDownloadSpeed;
    std::vector<DownloadMenuItem> items;
    for (int i = 0; i < kDownloadSpeedCount; ++i) {
        const std::string name(kSpeeds[static_cast<size_t>(i)].name);
        std::string text = name;
        if (file_size && *file_size >= 0) {
            text = ReplaceToken(Text(StringId::DownloadMenuItem), "%s", name);
            text = ReplaceToken(std::move(text), "%s", DownloadTimeText(*file_size, i, true));
        }
        items.push_back({Id(CommandId::DownloadFirst) + i, std::move(text), i == chosen_speed});
    }
    return items;
}

std::string ThousandsSeparator(std::optional<std::string_view> setting) {
    if (!setting) return ",";
    // An empty setting means no separator (taking its first character would
    // put a terminator into the text).
    if (setting->empty()) return {};
    return std::string(setting->substr(0, 1));
}

std::string GroupDigits(int64_t n, std::string_view separator) {
    std::string grouped = GroupedNumber(n);
    if (separator == ",") return grouped;
    std::string out;
    for (char c : grouped) {
        if (c == ',')
            out += separator;
        else
            out += c;
    }
    return out;
}

std::string FramePaneText(int selected, int frame_count) {
    if (selected >= 0 && selected < frame_count)
        return WithNumbers(StringId::PaneFrameOf, {selected + 1, frame_count});
    return WithNumbers(StringId::PaneNoneOf, {frame_count});
}

std::string DimensionPaneText(uint32_t width, uint32_t height) {
    return WithNumbers(StringId::PaneDimensions, {width, height});
}

std::string TotalTimePaneText(uint64_t total_delay) {
    return ReplaceToken(Text(StringId::PaneTotalTime), "%.2f",
                        Fixed(static_cast<double>(total_delay) * 0.01, 2));
}

std::string FileSizePaneText(std::optional<int64_t> file_size, int speed_index,
                             std::string_view separator) {
    if (!file_size || *file_size < 0) return Text(StringId::PaneCalculating);
    std::string text = ReplaceToken(Text(StringId::PaneFileSize), "%s", GroupDigits(*file_size, separator));
    text = ReplaceToken(std::move(text), "%s", DownloadTimeText(*file_size, speed_index, false));
    return ReplaceToken(std::move(text), "%s", DownloadSpeedAt(speed_index).name);
}

std::string ZoomPaneText(int zoom_level) {
    const int percent = strip::ZoomPercent(strip::ZoomForLevel(zoom_level));
    return ReplaceToken(ReplaceToken(Text(StringId::PaneZoom), "%d", std::to_string(percent)), "%%", "%");
}

uint64_t TotalDelay(const Animation& a) {
    uint64_t sum = 0;
    for (const Frame* f : a.Frames()) sum += f->delay;
    return sum;
}

StatusBarTexts ComputeStatusBar(const StatusInput& in) {
    StatusBarTexts t;
    if (!in.hasDocument) {
        t.simpleText = Text(StringId::ReadyToAnimate);
        return t;
    }
    t.simple = false;
    t.panes = {FramePaneText(in.selectedFrame, in.frameCount), DimensionPaneText(in.width, in.height),
               TotalTimePaneText(in.totalDelay),
               FileSizePaneText(in.fileSize, in.downloadSpeed, in.separator), ZoomPaneText(in.zoomLevel)};
    return t;
}

}  // namespace cinemill
