// The fiscal elements screen CfgElemFisc on Qt: its form, bound to the
// presenter; a double click on a field opens the field's text in a viewer.
#pragma once

#include <memory>

#include "service/fiscal_elements.h"
#include "service_dialog.h"

namespace Ui {
class FiscalElementsForm;
}

namespace veltar {

class FieldViewer;

class FiscalElementsDialog : public ServiceDialog {
    Q_OBJECT

public:
    explicit FiscalElementsDialog(Context& ctx, QWidget* parent = nullptr);
    ~FiscalElementsDialog() override;

    CfgElemFisc& presenter() { return screen_; }
    FieldViewer& viewer() { return *viewer_; }

protected:
    void loadForm() override { screen_.Load(); }
    void showForm() override;
    QWidget* firstControl() const override;
    void closeBoxPressed() override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* control(FiscalControl c) const;

    CfgElemFisc screen_;
    std::unique_ptr<Ui::FiscalElementsForm> form_;
    FieldViewer* viewer_;
};

}  // namespace veltar
