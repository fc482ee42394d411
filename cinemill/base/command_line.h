#pragma once

// What the command-line front ends of both programs share: the exit
// statuses, the table of subcommands (each cmd_*.cpp file adds its own with
// a static CommandRegistrar), the usage text and the step from argv to the
// command that runs.

#include <string>
#include <vector>

namespace cinemill {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPartial = 3;  // the input was only partly read

// A subcommand's name and the words after it.
struct Args {
    std::string command;
    std::vector<std::string> rest;
};

using CommandFn = int (*)(const Args&);

// A static CommandRegistrar in a cmd_*.cpp file adds a subcommand; `usage`
// is its line in the usage text.
struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* usage, CommandFn run);
};

// What one program says around its commands.
struct CommandLineProgram {
    std::string name;         // starts every message: "NAME: ..."
    std::string usageHead;    // the first line of the usage text
    std::string usagePrefix;  // written before each command's usage line
    std::string noCommand;    // the usage problem when no command is given (may be empty)
    std::string outOfMemory;  // said when memory runs out where no size check foresaw it
    // Options before the command, or null: moves `first` past the ones it
    // takes; answers a usage problem, or empty when there is none.
    std::string (*leadingOptions)(int argc, char** argv, int& first) = nullptr;
};

// Prints "NAME: what" (when `what` is not empty) and the usage text to
// stderr; answers kExitUsage.
int UsageError(const std::string& what);

// Runs the command that argv names and answers its exit status. "--help",
// "-h" and "help" print the usage text to stdout; a missing or unknown
// command is a usage error. Memory that runs out where no size check
// foresaw it ends the command with the program's message and kExitFailed,
// never with an abort.
int RunCommandLine(const CommandLineProgram& program, int argc, char** argv);

}  // namespace cinemill
