#pragma once

#include <optional>
#include <string>

namespace branchwork {

// Settings of the builder's start-up, kept under this key of the current
// user's settings.
inline constexpr const char* kBuilderSettingsKey = "Software\\Tolvane\\Wrightkit\\Arborly";
inline constexpr const char* kSplashValue = "Splash2";

// The splash screen shows unless the stored "Splash2" reads false; a missing
// key or value counts as true.
bool ShouldShowSplash(const std::optional<bool>& stored);
// What the splash's OK writes: false when "Don't show this screen again" is
// ticked, nothing otherwise.
std::optional<bool> SplashValueToStore(bool dont_show_again);

}  // namespace branchwork
