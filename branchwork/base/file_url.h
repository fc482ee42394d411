#pragma once

#include <string>
#include <string_view>

namespace branchwork {

// The address a browser opens for a local file. A path with a drive
// ("C:\Prog\help\start.htm") becomes file:///C|/Prog/help/start.htm; an
// absolute native path ("/opt/bw/help/start.htm") becomes
// file:///opt/bw/help/start.htm. Text containing "//" (already an address)
// and anything else is returned unchanged.
std::string FileUrl(std::string_view path);

}  // namespace branchwork
