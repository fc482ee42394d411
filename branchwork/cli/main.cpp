// branchwork-cli: the navigation builder's Send, import, markup and project
// listing from the command line. Commands live in cmd_*.cpp files and
// register themselves; `branchwork-cli --help` lists them.
//
// Exit status: 0 done, 1 failed, 2 bad usage, 3 the input was only partly read.
#include <iostream>
#include <map>
#include <new>
#include <string>

#include "branchwork/cli/cli_common.h"

namespace branchwork::cli {
namespace {

struct Entry {
    std::string usage;
    CommandFn run;
};

std::map<std::string, Entry>& Registry() {
    static std::map<std::string, Entry> registry;
    return registry;
}

void PrintUsage(std::ostream& out) {
    out << "usage:\n";
    for (const auto& [name, e] : Registry()) out << "  branchwork-cli " << e.usage << "\n";
}

}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn run) {
    Registry()[name] = Entry{usage, run};
}

int UsageError(const std::string& what) {
    if (!what.empty()) std::cerr << "branchwork-cli: " << what << "\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

namespace {

int Run(int argc, char** argv) {
    if (argc < 2) return UsageError("a command is missing");
    Args args;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) args.rest.emplace_back(argv[i]);
    if (args.command == "--help" || args.command == "-h" || args.command == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    const auto it = Registry().find(args.command);
    if (it == Registry().end()) return UsageError("unknown command " + args.command);
    return it->second.run(args);
}

}  // namespace

// Memory that runs out where no size check foresaw it ends the command with
// a message, never with an abort.
int Main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "branchwork-cli: error: not enough memory\n";
        return kExitFailed;
    }
}

}  // namespace branchwork::cli

int main(int argc, char** argv) { return branchwork::cli::Main(argc, argv); }
