// The cash drawer sums screen SumaSertar on Qt: its form, bound to the
// presenter. No close box: ExitBut (also Esc) leaves it; ExecutaBut answers
// Enter.
#pragma once

#include <memory>

#include "service/cash_drawer.h"
#include "service_dialog.h"

namespace Ui {
class CashDrawerForm;
}

namespace veltar {

class CashDrawerDialog : public ServiceDialog {
    Q_OBJECT

public:
    explicit CashDrawerDialog(Context& ctx, QWidget* parent = nullptr);
    ~CashDrawerDialog() override;

    SumaSertar& presenter() { return screen_; }

protected:
    void loadForm() override { screen_.Load(); }
    QWidget* firstControl() const override;
    void escapePressed() override;

private:
    SumaSertar screen_;
    std::unique_ptr<Ui::CashDrawerForm> form_;
};

}  // namespace veltar
