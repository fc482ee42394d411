// cinemill-cli: batch front end on the animation core. Commands live in
// cmd_*.cpp files and register themselves.
#include <charconv>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cinemill/base/memory.h"
#include "cinemill/base/strings.h"
#include "cinemill/cli/cli_common.h"

namespace cinemill::cli {
namespace {

// "--memory-budget MB" before the command: the most one document may take.
std::string TakeMemoryBudget(int argc, char** argv, int& first) {
    if (first + 1 >= argc || std::string(argv[first]) != "--memory-budget") return {};
    const std::string v = argv[first + 1];
    uint64_t mb = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), mb);
    if (ec != std::errc() || end != v.data() + v.size() || mb == 0 || mb > (uint64_t{1} << 40))
        return "--memory-budget takes a number of megabytes";
    SetMemoryBudget(mb << 20);
    first += 2;
    return {};
}

}  // namespace

int Main(int argc, char** argv) {
    CommandLineProgram program;
    program.name = "cinemill-cli";
    program.usageHead = "usage: cinemill-cli [--memory-budget MB] COMMAND ...";
    program.usagePrefix = "  ";
    program.outOfMemory = std::string(LoadString(StringId::FrameImageNoMemory));
    program.leadingOptions = TakeMemoryBudget;
    return RunCommandLine(program, argc, argv);
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
