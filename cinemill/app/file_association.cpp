#include "cinemill/app/file_association.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "cinemill/base/strings.h"
#include "cinemill/formats/format_common.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;

// The value of `key` in the group `group` of a desktop entry, or none.
std::string ValueIn(const std::string& text, const std::string& group, const std::string& key,
                    bool* found) {
    std::istringstream in(text);
    std::string line, current;
    *found = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            current = line;
            continue;
        }
        if (current == "[" + group + "]" && line.starts_with(key + "=")) {
            *found = true;
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

}  // namespace

std::string UserDataDir() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.local/share";
    return {};
}

std::string CurrentProgramPath() {
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string DesktopExecCommand(const std::string& program) {
    // Inside the double quotes ", `, $ and \ take a backslash; then the
    // string-value escaping doubles every backslash once more, and a field
    // code sign is written %%.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out + " %f";
}

DesktopFileAssociation DesktopFileAssociation::ForCurrentUser() {
    return DesktopFileAssociation(UserDataDir(), CurrentProgramPath());
}

std::string DesktopFileAssociation::EntryPath() const {
    return (fs::path(dataDir_) / "applications" / kFileName).string();
}

std::string DesktopFileAssociation::EntryText() const {
    const std::string exec = DesktopExecCommand(program_);
    const std::string name(LoadString(StringId::ProgramName));
    std::string t;
    t += "[Desktop Entry]\n";
    t += "Type=Application\n";
    t += "Name=" + name + "\n";
    t += "Comment=" + std::string(LoadString(StringId::DesktopEntryComment)) + "\n";
    t += "Exec=" + exec + "\n";
    t += "MimeType=image/gif;\n";
    t += "Terminal=false\n";
    t += "NoDisplay=true\n";
    t += "Actions=edit;\n";
    t += "\n";
    t += "[Desktop Action edit]\n";
    t += "Name=" + std::string(LoadString(StringId::EditWithVerb)) + "\n";
    t += "Exec=" + exec + "\n";
    return t;
}

bool DesktopFileAssociation::Present() {
    if (dataDir_.empty() || program_.empty()) return false;
    std::ifstream in(EntryPath(), std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    bool found = false;
    const std::string exec = ValueIn(ss.str(), "Desktop Action edit", "Exec", &found);
    return found && exec == DesktopExecCommand(program_);
}

bool DesktopFileAssociation::Set() {
    if (dataDir_.empty() || program_.empty()) return false;
    std::error_code ec;
    fs::create_directories(fs::path(EntryPath()).parent_path(), ec);
    if (ec) return false;
    const std::string text = EntryText();
    return WriteFileAtomically(EntryPath(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool DesktopFileAssociation::Remove() {
    if (dataDir_.empty()) return true;
    std::error_code ec;
    fs::remove(EntryPath(), ec);
    return !ec && !fs::exists(EntryPath(), ec);
}

}  // namespace cinemill
