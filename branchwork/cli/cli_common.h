#pragma once

// What branchwork-cli's commands share besides the command table and exit
// statuses (cinemill/base/command_line.h): the option words, the answers a
// batch run gives to the core's questions, and the loading of a project
// file. Commands live in cmd_*.cpp files and register themselves with a
// static CommandRegistrar.

#include <map>
#include <string>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"
#include "cinemill/base/command_line.h"

namespace branchwork::cli {

using cinemill::Args;
using cinemill::CommandRegistrar;
using cinemill::kExitFailed;
using cinemill::kExitOk;
using cinemill::kExitPartial;
using cinemill::kExitUsage;
using cinemill::UsageError;

// The words after the command: one file name, options that take a value,
// and switches.
struct Options {
    std::string file;
    std::map<std::string, std::string> values;
    std::vector<std::string> switches;
    bool Has(const std::string& name) const;
    // The option's value, or empty when it was not given.
    std::string Value(const std::string& name) const;
};

// Reads args.rest into `out`: a word in `with_value` takes the next word,
// a word in `switches` stands alone, one word not starting with "-" is the
// file. Anything else, a missing value or a missing file leaves the reason
// in `problem` and answers false.
bool ParseOptions(const Args& args, const std::vector<std::string>& with_value,
                  const std::vector<std::string>& switches, Options& out, std::string& problem);

// Messages go to stderr; the dialogs are answered from the command line.
class CliHost : public BwUiHost {
public:
    bool external = false;
    std::string graphicsDir;
    void Message(const std::string& text, MessageIcon icon) override;
    bool ConfirmOkCancel(const std::string& text) override;
    std::optional<bool> AskOutputOptions() override { return !external; }
    std::string AskGraphicsDirectory(const std::string& page_dir) override;
};

// An absolute, normalized path (the path itself when that fails).
std::string Absolute(const std::string& p);

// The data folder with help/JClass/: --program-dir, else the program's own
// directory.
std::string ProgramDir(const Options& options);

// Loads a project file; answers kExitOk, kExitPartial (read in part) or
// kExitFailed (after a message).
int LoadProject(NavigationProject& p, const std::string& path, CliHost& host);

}  // namespace branchwork::cli
