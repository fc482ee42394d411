// cinemill-cli: batch front end on the animation core. Commands live in
// cmd_*.cpp files and register themselves.
#include <malloc.h>

#include <iostream>
#include <map>
#include <string>

#include "cinemill/cli/cli_common.h"

namespace cinemill::cli {
namespace {

struct Entry {
    std::string usage;
    CommandFn run;
};

std::map<std::string, Entry>& Registry() {
    static std::map<std::string, Entry> registry;
    return registry;
}

}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn run) {
    Registry()[name] = Entry{usage, run};
}

int UsageError(const std::string& what) {
    if (!what.empty()) std::cerr << "cinemill-cli: " << what << "\n";
    std::cerr << "usage: cinemill-cli COMMAND ...\n";
    for (const auto& [name, e] : Registry()) std::cerr << "  " << e.usage << "\n";
    return kExitUsage;
}

int Main(int argc, char** argv) {
    if (argc < 2) return UsageError("");
    Args args;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) args.rest.emplace_back(argv[i]);
    if (args.command == "--help" || args.command == "-h" || args.command == "help") {
        std::cout << "usage: cinemill-cli COMMAND ...\n";
        for (const auto& [name, e] : Registry()) std::cout << "  " << e.usage << "\n";
        return kExitOk;
    }
    const auto it = Registry().find(args.command);
    if (it == Registry().end()) return UsageError("unknown command " + args.command);
    return it->second.run(args);
}

}  // namespace cinemill::cli

int main(int argc, char** argv) {
#if defined(__GLIBC__) && defined(M_MMAP_THRESHOLD)
    // Frame planes (about 1 MB each for 640 x 480 true colour) come from the
    // heap rather than from mappings of their own, so that the memory of the
    // planes freed while an animation is converted to palette pixels is
    // reused for the pictures that follow instead of being given back and
    // faulted in again page by page.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
    return cinemill::cli::Main(argc, argv);
}
