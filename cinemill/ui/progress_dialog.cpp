#include "cinemill/ui/progress_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>

#include "cinemill/base/strings.h"
#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

namespace {

bool IsUserInput(QEvent::Type t) {
    switch (t) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
            return true;
        default:
            return false;
    }
}

class DialogProgress : public ProgressReporter, public QObject {
public:
    DialogProgress(QWidget* owner, bool pump) : owner_(owner), pump_(pump) {}
    ~DialogProgress() override { End(); }

    void SetText(StringId id) override {
        Open();
        dialog_->setLabelText(Tr(id));
        Pump(true);
    }
    void SetRange(int64_t n) override {
        Open();
        // QProgressBar counts in int; large ranges are scaled down.
        divisor_ = 1;
        while (n / divisor_ > 1000000) divisor_ *= 10;
        dialog_->setRange(0, static_cast<int>(std::max<int64_t>(n / divisor_, 1)));
        dialog_->setValue(0);
        position_ = 0;
        Pump(true);
    }
    bool SetPosition(int64_t v) override {
        position_ = v;
        return Advance();
    }
    bool Step() override {
        ++position_;
        return Advance();
    }
    void End() override {
        if (!dialog_) return;
        if (filtering_) qApp->removeEventFilter(this);
        filtering_ = false;
        delete dialog_.data();
        QApplication::restoreOverrideCursor();
        stopped_ = false;
    }
    bool StopRequested() const override { return stopped_; }

protected:
    // Without pumping: Esc and the Cancel button reach the dialog, other
    // input is dropped.
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (!IsUserInput(e->type())) return false;
        // Esc comes as a shortcut override first (the dialog's cancel
        // shortcut), then as a key press when nothing took it.
        if ((e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) &&
            static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
            stopped_ = true;
            return true;
        }
        auto* w = qobject_cast<QWidget*>(watched);
        QPushButton* cancel = dialog_ ? dialog_->findChild<QPushButton*>() : nullptr;
        if (w && cancel && (w == cancel || cancel->isAncestorOf(w))) return false;
        return true;
    }

private:
    void Open() {
        if (dialog_) return;
        dialog_ = new QProgressDialog(owner_);
        dialog_->setObjectName("progressDialog");
        dialog_->setWindowTitle(Tr(StringId::ProgressCaption));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->setMinimumWidth(360);
        // Cancel, Esc and closing the dialog all stop the operation.
        QObject::connect(dialog_, &QProgressDialog::canceled, [this] { stopped_ = true; });
        QObject::connect(dialog_, &QDialog::rejected, [this] { stopped_ = true; });
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!pump_) {
            qApp->installEventFilter(this);
            filtering_ = true;
        }
        dialog_->show();
        clock_.start();
    }

    bool Advance() {
        // The dialog's Esc shortcut cancels without a signal.
        if (dialog_ && dialog_->wasCanceled()) stopped_ = true;
        if (dialog_ && !stopped_) {
            const int64_t v = position_ / divisor_;
            dialog_->setValue(static_cast<int>(std::min<int64_t>(v, dialog_->maximum())));
        }
        Pump(false);
        return !stopped_;
    }

    // Handles pending events, at most every 25 ms unless forced.
    void Pump(bool force) {
        if (!dialog_) return;
        if (!force && clock_.elapsed() < 25) return;
        clock_.restart();
        QCoreApplication::processEvents();
        if (dialog_ && dialog_->wasCanceled()) stopped_ = true;
    }

    QWidget* owner_;
    bool pump_;
    QPointer<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    int64_t divisor_ = 1;
    int64_t position_ = 0;
    bool stopped_ = false;
    bool filtering_ = false;
};

}  // namespace

std::unique_ptr<ProgressReporter> QtProgressFactory::Make(ProgressMode mode) {
    switch (mode) {
        case ProgressMode::Silent:
            if (jobs_) return std::make_unique<JobProgress>(*jobs_, mask_);
            return std::make_unique<SilentProgress>();
        case ProgressMode::DialogPumped: return std::make_unique<DialogProgress>(owner_, true);
        case ProgressMode::DialogNoPump: return std::make_unique<DialogProgress>(owner_, false);
    }
    return std::make_unique<SilentProgress>();
}

}  // namespace cinemill
