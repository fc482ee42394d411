#include "cinemill/base/tell.h"

#include <string>

#include "cinemill/base/ui_host.h"

namespace cinemill {

void Tell(UiHost& host, StringId id) { host.Error(std::string(LoadString(id))); }

}  // namespace cinemill
