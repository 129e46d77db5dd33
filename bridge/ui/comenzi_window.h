// The main window COMENZI: its form, its background picture, and the binding
// of its events to the main window's handlers.
#pragma once

#include <QWidget>

#include <memory>

#include "shell/context.h"

namespace Ui {
class ComenziForm;
}

namespace veltar {

class QtWindowServices;

class ComenziWindow : public QWidget {
    Q_OBJECT

public:
    ComenziWindow(Context& ctx, QtWindowServices& services);
    ~ComenziWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Context& ctx_;
    QtWindowServices& services_;
    std::unique_ptr<Ui::ComenziForm> form_;
};

}  // namespace veltar
