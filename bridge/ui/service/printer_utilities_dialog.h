// The printer utilities screen UtilitareImprimanta on Qt: its form, bound to
// the presenter.
#pragma once

#include <memory>

#include "service/printer_utilities.h"
#include "service_dialog.h"

namespace Ui {
class PrinterUtilitiesForm;
}

namespace veltar {

class PrinterUtilitiesDialog : public ServiceDialog {
    Q_OBJECT

public:
    explicit PrinterUtilitiesDialog(Context& ctx, QWidget* parent = nullptr);
    ~PrinterUtilitiesDialog() override;

    UtilitareImprimanta& presenter() { return screen_; }

protected:
    void loadForm() override { screen_.Load(); }
    void showForm() override;
    QWidget* firstControl() const override;
    void closeBoxPressed() override;

private:
    QWidget* control(UtilitiesControl c) const;

    UtilitareImprimanta screen_;
    std::unique_ptr<Ui::PrinterUtilitiesForm> form_;
};

}  // namespace veltar
