// The periodic fiscal memory report screen RapPer on Qt: its form, bound to
// the presenter. No close box: it is left through ExitBut or Esc.
#pragma once

#include <memory>

#include "service/periodic_report.h"
#include "service_dialog.h"

namespace Ui {
class PeriodicReportForm;
}

namespace veltar {

class PeriodicReportDialog : public ServiceDialog {
    Q_OBJECT

public:
    explicit PeriodicReportDialog(Context& ctx, QWidget* parent = nullptr);
    ~PeriodicReportDialog() override;

    RapPer& presenter() { return screen_; }

protected:
    void loadForm() override { screen_.Load(); }
    void readForm() override;
    void showForm() override;
    QWidget* firstControl() const override;
    void escapePressed() override;

private:
    RapPer screen_;
    std::unique_ptr<Ui::PeriodicReportForm> form_;
};

}  // namespace veltar
