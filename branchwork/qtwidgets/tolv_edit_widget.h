#pragma once

#include <QLineEdit>

#include "branchwork/widgets/tolv_edit.h"

namespace branchwork {

// The numeric edit: typed characters pass through the rules of
// TolvKeyAccepted; leaving the field applies Min. With hexOnly the field
// takes the hexadecimal digits only (the colour picker's hex fields).
class TTolvEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TTolvEdit(QWidget* parent = nullptr);

    TolvEditSettings settings;
    bool hexOnly = false;

    // The value the builder reads: 0 when empty or not a number.
    int Value() const;
    // What leaving the field does: a number below Min becomes Min.
    void Leave();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

}  // namespace branchwork
