#include "cinemill/app/number_text.h"

namespace cinemill {

std::string GroupedNumber(int64_t n, char separator) {
    const bool negative = n < 0;
    // Through unsigned arithmetic so that the most negative value has a magnitude too.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    const std::string digits = std::to_string(magnitude);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

}  // namespace cinemill
