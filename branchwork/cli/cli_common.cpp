#include "branchwork/cli/cli_common.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/project/loader.h"

namespace branchwork::cli {

bool Options::Has(const std::string& name) const {
    return values.count(name) > 0 || std::find(switches.begin(), switches.end(), name) != switches.end();
}

std::string Options::Value(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
}

bool ParseOptions(const Args& args, const std::vector<std::string>& with_value,
                  const std::vector<std::string>& switches, Options& out, std::string& problem) {
    auto listed = [](const std::vector<std::string>& names, const std::string& a) {
        return std::find(names.begin(), names.end(), a) != names.end();
    };
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        const bool has_value = i + 1 < args.rest.size();
        if (listed(switches, a)) {
            out.switches.push_back(a);
        } else if (listed(with_value, a)) {
            if (!has_value) {
                problem = a + " needs a value";
                return false;
            }
            out.values[a] = args.rest[++i];
        } else if (out.file.empty() && !a.starts_with("-")) {
            out.file = a;
        } else {
            problem = "unexpected argument " + a;
            return false;
        }
    }
    if (out.file.empty()) {
        problem = "a file name is missing";
        return false;
    }
    return true;
}

void CliHost::Message(const std::string& text, MessageIcon icon) {
    std::cerr << "branchwork-cli: " << (icon == MessageIcon::Information ? "" : "error: ") << text << "\n";
}

bool CliHost::ConfirmOkCancel(const std::string& text) {
    std::cerr << "branchwork-cli: " << text << " -> Cancel\n";
    return false;
}

std::string CliHost::AskGraphicsDirectory(const std::string& page_dir) {
    return graphicsDir.empty() ? page_dir : WithTrailingSeparator(Absolute(graphicsDir));
}

std::string Absolute(const std::string& p) {
    std::error_code ec;
    auto a = std::filesystem::absolute(p, ec);
    return ec ? p : a.lexically_normal().string();
}

std::string ProgramDir(const Options& options) {
    if (options.Has("--program-dir")) return WithTrailingSeparator(options.Value("--program-dir"));
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return WithTrailingSeparator(exe.parent_path().string());
    return "./";
}

int LoadProject(NavigationProject& p, const std::string& path, CliHost& host) {
    if (!FileExists(path)) {
        host.Message(texts::kCannotOpenPrefix + path + texts::kCannotOpenSuffix, MessageIcon::Error);
        return kExitFailed;
    }
    const LoadOutcome out = LoadProjectFile(p, path, host);
    if (!out.appletFound) {
        // A file that could not be read has been named with its cause.
        if (out.error.empty()) host.Message(texts::kNoAppletIn + path, MessageIcon::Error);
        return kExitFailed;
    }
    return out.complete ? kExitOk : kExitPartial;
}

}  // namespace branchwork::cli
