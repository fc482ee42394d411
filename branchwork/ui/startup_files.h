#pragma once

#include <string>

#include "branchwork/base/ui_host.h"

namespace branchwork {

// The program's data folder (writable, under the user's data location) with
// help/JClass/: the three main applet classes are extracted there when
// missing, and the installed support classes copied beside them. Answers
// the folder with a trailing separator.
std::string PrepareDataFolder(BwUiHost& host);

}  // namespace branchwork
