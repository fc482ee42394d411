#include "cinemill/ui/status_bar_widget.h"

#include <QLabel>

#include "cinemill/app/status_bar.h"

namespace cinemill {

StatusBarWidget::StatusBarWidget(QWidget* parent) : QStatusBar(parent) {
    setObjectName("statusBar");
    simple_ = new QLabel(this);
    simple_->setObjectName("statusSimple");
    addWidget(simple_, 1);
    int left = 0;
    for (size_t i = 0; i < panes_.size(); ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("statusPane%1").arg(i));
        l->setFrameShape(QFrame::StyledPanel);
        l->setFrameShadow(QFrame::Sunken);
        // The panes end at their right edges at least; a longer text (the
        // file size with its download time) widens its pane instead of
        // being cut. The last one takes what is left.
        const int width = kPaneRightEdges[i] - left;
        left = kPaneRightEdges[i];
        l->setMinimumWidth(width);
        addWidget(l, i + 1 < panes_.size() ? 0 : 1);
        panes_[i] = l;
    }
    Show({std::string()});
}

void StatusBarWidget::Show(const std::vector<std::string>& texts) {
    const bool simple = texts.size() != panes_.size();
    simple_->setVisible(simple);
    if (simple) simple_->setText(texts.empty() ? QString() : QString::fromStdString(texts.front()));
    for (size_t i = 0; i < panes_.size(); ++i) {
        panes_[i]->setVisible(!simple);
        if (!simple) panes_[i]->setText(QString::fromStdString(texts[i]));
    }
}

bool StatusBarWidget::Simple() const { return !simple_->isHidden(); }
QString StatusBarWidget::PaneText(int pane) const {
    return pane >= 0 && pane < static_cast<int>(panes_.size()) ? panes_[size_t(pane)]->text() : QString();
}
QString StatusBarWidget::SimpleText() const { return simple_->text(); }

}  // namespace cinemill
