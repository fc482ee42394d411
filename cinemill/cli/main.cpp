// cinemill-cli: batch front end on the animation core. Commands live in
// cmd_*.cpp files and register themselves.
#include <iostream>
#include <map>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

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
#if defined(__GLIBC__)
    // Frame bitmaps and true-colour planes are large and short-lived (copies,
    // candidates, crops, planes freed as frames get palette pixels). Served
    // from the heap and kept there for reuse, they do not cost a fresh
    // mapping and page faults each time; the process is short-lived.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // One heap for all threads: a worker's freed blocks serve the next
    // allocation wherever it comes from, instead of faulting in a heap per
    // thread (the few large allocations do not contend).
    mallopt(M_ARENA_MAX, 1);
#endif
    return cinemill::cli::Main(argc, argv);
}
