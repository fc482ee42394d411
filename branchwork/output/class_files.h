#pragma once

#include <string>
#include <vector>

#include "branchwork/base/ui_host.h"

namespace branchwork {

// The applet class files are installation data of another maker that this
// repository does not have. The program carries clearly named placeholders
// for the three main classes as built-in resources, and the installation
// ships placeholders for all twelve under help/JClass/ (branchwork/data).

// The built-in bytes of a main class ("VoltarixR.class", "VoltanR.class",
// "VoltarR.class"); empty for other names.
std::string BuiltInClassBytes(const std::string& name);

// The text of the placeholder that stands in for a class file.
std::string PlaceholderClassText(const std::string& name);

// At start-up: when help/JClass/VoltarixR.class is missing under the program
// directory, writes the three built-in main classes there (VoltarixR,
// VoltanR, VoltarR, creating the directories). A failure says
// "An error occurred while trying to extract NAME to PATH." with the system's
// reason, and the others are still tried. Answers the files written.
std::vector<std::string> ExtractMainClasses(const std::string& program_dir, BwUiHost& host);

}  // namespace branchwork
