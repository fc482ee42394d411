#include "cinemill/base/command_line.h"

#include <iostream>
#include <map>
#include <new>

namespace cinemill {
namespace {

struct Entry {
    std::string usage;
    CommandFn run;
};

std::map<std::string, Entry>& Registry() {
    static std::map<std::string, Entry> registry;
    return registry;
}

// The program RunCommandLine runs, for the messages of UsageError.
CommandLineProgram& Program() {
    static CommandLineProgram program;
    return program;
}

void PrintUsage(std::ostream& out) {
    const CommandLineProgram& p = Program();
    out << p.usageHead << "\n";
    for (const auto& [name, e] : Registry()) out << p.usagePrefix << e.usage << "\n";
}

int Run(int argc, char** argv) {
    int first = 1;
    if (Program().leadingOptions) {
        const std::string problem = Program().leadingOptions(argc, argv, first);
        if (!problem.empty()) return UsageError(problem);
    }
    if (argc <= first) return UsageError(Program().noCommand);
    Args args;
    args.command = argv[first];
    for (int i = first + 1; i < argc; ++i) args.rest.emplace_back(argv[i]);
    if (args.command == "--help" || args.command == "-h" || args.command == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    const auto it = Registry().find(args.command);
    if (it == Registry().end()) return UsageError("unknown command " + args.command);
    return it->second.run(args);
}

}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn run) {
    Registry()[name] = Entry{usage, run};
}

int UsageError(const std::string& what) {
    if (!what.empty()) std::cerr << Program().name << ": " << what << "\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

int RunCommandLine(const CommandLineProgram& program, int argc, char** argv) {
    Program() = program;
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << program.name << ": " << program.outOfMemory << "\n";
        return kExitFailed;
    }
}

}  // namespace cinemill
