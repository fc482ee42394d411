#include "branchwork/output/class_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/output/markup.h"

namespace branchwork {

std::string PlaceholderClassText(const std::string& name) {
    return "PLACEHOLDER " + name +
           "\nThis is not a Java class file. The navigation applet classes are installation data of the\n"
           "applets' maker and are not part of this repository; replace this file with the real " +
           name + "\nbefore publishing a page that uses the applet.\n";
}

std::string BuiltInClassBytes(const std::string& name) {
    for (const auto& m : MainClassFiles())
        if (m == name) return PlaceholderClassText(name);
    return std::string();
}

std::vector<std::string> ExtractMainClasses(const std::string& program_dir, BwUiHost& host) {
    namespace fs = std::filesystem;
    std::vector<std::string> written;
    const std::string dir = WithTrailingSeparator(program_dir) + "help/JClass/";
    if (FileExists(dir + "VoltarixR.class")) return written;
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const auto& name : MainClassFiles()) {
        const std::string path = dir + name;
        errno = 0;
        if (WriteFileReplacing(path, BuiltInClassBytes(name))) {
            written.push_back(path);
            continue;
        }
        const std::string reason = ec ? ec.message() : errno ? std::strerror(errno) : texts::kWriteFailed;
        host.Message(texts::kExtractFailed + name + texts::kExtractTo + path + texts::kExtractReasonSeparator + reason,
                     MessageIcon::Error);
    }
    return written;
}

}  // namespace branchwork
