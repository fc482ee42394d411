#pragma once

#include <cstdint>
#include <memory>

#include "cinemill/app/job_control.h"

class QWidget;

namespace cinemill {

// The editor's progress reporters in Qt. Pass one to the Engine.
//
// - Silent: no window; stops when an abort is requested for a job of the
//   abort mask given with SetSilentAbort (never, without one).
// - DialogPumped: an application-modal QProgressDialog "progressDialog"
//   over the owner, with the wait cursor. Each step handles the pending
//   events (at most every 25 ms), so Esc or Cancel stop the operation: the
//   step answers false and the caller reports Stopped.
// - DialogNoPump: the same dialog, but while the operation runs only
//   painting and the dialog's own Esc/Cancel are handled; every other user
//   input (to any window) is dropped, so no command can start in between.
//
// The dialog appears at the first SetText or SetRange and goes at End (or
// when the reporter is destroyed).
class QtProgressFactory : public ProgressFactory {
public:
    explicit QtProgressFactory(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void SetSilentAbort(const JobControl* jobs, uint32_t abort_mask) {
        jobs_ = jobs;
        mask_ = abort_mask;
    }
    std::unique_ptr<ProgressReporter> Make(ProgressMode mode) override;

private:
    QWidget* owner_;
    const JobControl* jobs_ = nullptr;
    uint32_t mask_ = 0;
};

}  // namespace cinemill
