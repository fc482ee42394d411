#pragma once

#include <QStatusBar>

#include <array>
#include <string>
#include <vector>

class QLabel;

namespace cinemill {

// The main window's status bar: the simple text "Ready to Animate" without
// a document, else five panes (frame, dimensions, total time, file size,
// zoom) with the widths their right edges give.
class StatusBarWidget : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBarWidget(QWidget* parent = nullptr);
    // One text: simple mode; five: the panes.
    void Show(const std::vector<std::string>& texts);
    bool Simple() const;
    QString PaneText(int pane) const;
    QString SimpleText() const;

private:
    QLabel* simple_;
    std::array<QLabel*, 5> panes_{};
};

}  // namespace cinemill
