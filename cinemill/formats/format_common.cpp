#include "cinemill/formats/format_common.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "cinemill/gif/gif_writer.h"

namespace cinemill {

std::string ReplaceHex(std::string text, uint32_t value) {
    const auto pos = text.find("%x");
    if (pos == std::string::npos) return text;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", value);
    text.replace(pos, 2, buf);
    return text;
}

std::string_view FileNamePart(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string LowerExtension(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

std::string MakeTempFile(std::string_view prefix, std::string_view extension) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    std::string templ = (dir / (std::string(prefix) + "XXXXXX")).string() + std::string(extension);
    const int fd = mkstemps(templ.data(), static_cast<int>(extension.size()));
    if (fd < 0) return {};
    close(fd);
    return templ;
}

bool WriteFileAtomically(const std::string& target, const uint8_t* data, size_t size) {
    const std::string temp = MakeTempFile("CMW", ".tmp");
    if (temp.empty()) return false;
    bool ok = false;
    if (std::FILE* f = std::fopen(temp.c_str(), "wb")) {
        ok = std::fwrite(data, 1, size, f) == size;
        ok = std::fclose(f) == 0 && ok;
    }
    ok = ok && ReplaceFileWithCopy(temp, target);
    std::remove(temp.c_str());
    return ok;
}

}  // namespace cinemill
