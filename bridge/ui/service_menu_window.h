// The service menu frmServicePrinc: no close box, so it is left through its
// buttons or Esc; each button goes to its handler.
#pragma once

#include <QWidget>

#include <memory>

#include "shell/context.h"

namespace Ui {
class ServiceMenuForm;
}

namespace veltar {

class QtWindowServices;

class ServiceMenuWindow : public QWidget {
    Q_OBJECT

public:
    ServiceMenuWindow(Context& ctx, QtWindowServices& services);
    ~ServiceMenuWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Context& ctx_;
    QtWindowServices& services_;
    std::unique_ptr<Ui::ServiceMenuForm> form_;
};

}  // namespace veltar
