#include "branchwork/base/file_url.h"

namespace branchwork {

std::string FileUrl(std::string_view path) {
    const std::string p(path);
    if (p.find("//") != std::string::npos) return p;
    if (p.find(':') != std::string::npos) {
        std::string s = p;
        for (auto& c : s)
            if (c == '\\') c = '/';
        if (s.size() < 2) return p;
        return "file:///" + s.substr(0, 1) + "|" + s.substr(2);
    }
    if (!p.empty() && p[0] == '/') return "file://" + p;
    return p;
}

}  // namespace branchwork
