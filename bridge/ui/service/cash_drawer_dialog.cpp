#include "cash_drawer_dialog.h"

#include "pictures.h"
#include "ui_cash_drawer_dialog.h"

namespace veltar {

CashDrawerDialog::CashDrawerDialog(Context& ctx, QWidget* parent)
    : ServiceDialog(ctx, parent, CloseBox::None),
      screen_(ctx),
      form_(std::make_unique<Ui::CashDrawerForm>()) {
    form_->setupUi(this);
    finishForm();
    setWindowTitle(QString::fromLatin1(kCashDrawerCaption));
    QFont heading = form_->Label1->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() * 3 / 2);
    form_->Label1->setFont(heading);

    form_->ExecutaBut->setIcon(ThemedIcon("system-run", QStyle::SP_DialogApplyButton));
    form_->ExitBut->setIcon(ThemedIcon("go-previous", QStyle::SP_ArrowBack));
    for (QPushButton* picture : {form_->ExecutaBut, form_->ExitBut}) {
        picture->setAccessibleName(picture->toolTip());
    }
    setDefaultButton(form_->ExecutaBut);

    CashDrawerForm& f = screen_.form();
    bindText(form_->SExist, f.SExist);
    bindText(form_->SIntr, f.SIntr);
    bindText(form_->SIes, f.SIes);
    setKeyRules(form_->SExist, {[this](char c) { return screen_.SExistKeyPress(c); }, {}});
    onClick(form_->ExecutaBut, [this] { screen_.ExecutaButClick(); });
    onClick(form_->ExitBut, [this] { screen_.ExitButClick(); });
}

CashDrawerDialog::~CashDrawerDialog() = default;

QWidget* CashDrawerDialog::firstControl() const { return form_->SExist; }

// Esc is ExitBut's, as Enter is ExecutaBut's.
void CashDrawerDialog::escapePressed() { form_->ExitBut->click(); }

}  // namespace veltar
