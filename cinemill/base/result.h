#pragma once

namespace cinemill {

// Outcome of every long or user-facing operation: 0 failed (the user has
// already been told), 1 done, 2 stopped by the user or only partly done.
enum class Result : int { Failed = 0, Done = 1, Stopped = 2 };

}  // namespace cinemill
