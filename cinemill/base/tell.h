#pragma once

#include "cinemill/base/strings.h"

namespace cinemill {

class UiHost;

// Tells the user one string-table text as an error. Readers and commands
// that fail name one string id and report it once, here, at their boundary.
void Tell(UiHost& host, StringId id);

}  // namespace cinemill
