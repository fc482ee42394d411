// branchwork-cli: the navigation builder's Send, import, markup and project
// listing from the command line. Commands live in cmd_*.cpp files and
// register themselves; `branchwork-cli --help` lists them.
//
// Exit status: 0 done, 1 failed, 2 bad usage, 3 the input was only partly read.
#include "branchwork/cli/cli_common.h"

int main(int argc, char** argv) {
    cinemill::CommandLineProgram program;
    program.name = "branchwork-cli";
    program.usageHead = "usage:";
    program.usagePrefix = "  branchwork-cli ";
    program.noCommand = "a command is missing";
    program.outOfMemory = "error: not enough memory";
    return cinemill::RunCommandLine(program, argc, argv);
}
