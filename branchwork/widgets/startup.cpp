#include "branchwork/widgets/startup.h"

namespace branchwork {

bool ShouldShowSplash(const std::optional<bool>& stored) { return stored.value_or(true); }

std::optional<bool> SplashValueToStore(bool dont_show_again) {
    if (dont_show_again) return false;
    return std::nullopt;
}

}  // namespace branchwork
