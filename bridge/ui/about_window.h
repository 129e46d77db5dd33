// The about box frmAbout: not modal, outside the taskbar, no minimise or
// maximise button; its texts come from the about box's load handler each
// time it opens; OK (also Enter and Esc) closes it.
#pragma once

#include <QDialog>

#include <memory>

#include "shell/context.h"

namespace Ui {
class AboutForm;
}

namespace veltar {

class AboutWindow : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(Context& ctx);
    ~AboutWindow() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Context& ctx_;
    std::unique_ptr<Ui::AboutForm> form_;
};

}  // namespace veltar
