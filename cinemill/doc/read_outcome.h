#pragma once

#include <memory>

#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

// What every reader and importer answers.
// Failed: nothing read (the user has been told, or cancelled a question);
// no animation. Done: the whole file was read. Stopped: only part was read
// (an error after at least one frame, or a stop request); the animation
// holds what was read.
struct ReadOutcome {
    Result result = Result::Failed;
    std::unique_ptr<Animation> animation;
};

// Done with the animation; Failed when there is none (its maker has told
// the user why).
inline ReadOutcome ReadDone(std::unique_ptr<Animation> a) {
    if (!a) return {};
    return {Result::Done, std::move(a)};
}

}  // namespace cinemill
