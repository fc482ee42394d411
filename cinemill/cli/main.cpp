// cinemill-cli: batch front end on the animation core. Commands live in
// cmd_*.cpp files and register themselves.
#include <charconv>
#include <iostream>
#include <map>
#include <new>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cinemill/base/memory.h"
#include "cinemill/base/strings.h"
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
    std::cerr << "usage: cinemill-cli [--memory-budget MB] COMMAND ...\n";
    for (const auto& [name, e] : Registry()) std::cerr << "  " << e.usage << "\n";
    return kExitUsage;
}

namespace {

// "--memory-budget MB" before the command: the most one document may take.
bool TakeMemoryBudget(int argc, char** argv, int& first) {
    if (first + 1 >= argc || std::string(argv[first]) != "--memory-budget") return true;
    const std::string v = argv[first + 1];
    uint64_t mb = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), mb);
    if (ec != std::errc() || end != v.data() + v.size() || mb == 0 || mb > (uint64_t{1} << 40))
        return false;
    SetMemoryBudget(mb << 20);
    first += 2;
    return true;
}

int Run(int argc, char** argv) {
    int first = 1;
    if (!TakeMemoryBudget(argc, argv, first)) return UsageError("--memory-budget takes a number of megabytes");
    if (argc <= first) return UsageError("");
    Args args;
    args.command = argv[first];
    for (int i = first + 1; i < argc; ++i) args.rest.emplace_back(argv[i]);
    if (args.command == "--help" || args.command == "-h" || args.command == "help") {
        std::cout << "usage: cinemill-cli [--memory-budget MB] COMMAND ...\n";
        for (const auto& [name, e] : Registry()) std::cout << "  " << e.usage << "\n";
        return kExitOk;
    }
    const auto it = Registry().find(args.command);
    if (it == Registry().end()) return UsageError("unknown command " + args.command);
    return it->second.run(args);
}

}  // namespace

// Memory that runs out where no size check foresaw it ends the command with
// the message, never with an abort.
int Main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "cinemill-cli: " << LoadString(StringId::FrameImageNoMemory) << "\n";
        return kExitFailed;
    }
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
