#pragma once

#include <cstdint>
#include <string>

namespace cinemill {

// A count with `separator` between groups of three digits ("1,234,567");
// negative numbers keep their sign in front ("-1,000").
std::string GroupedNumber(int64_t n, char separator = ',');

}  // namespace cinemill
