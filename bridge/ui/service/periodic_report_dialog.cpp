#include "periodic_report_dialog.h"

#include "pictures.h"
#include "ui_periodic_report_dialog.h"

namespace veltar {

PeriodicReportDialog::PeriodicReportDialog(Context& ctx, QWidget* parent)
    : ServiceDialog(ctx, parent, CloseBox::None),
      screen_(ctx),
      form_(std::make_unique<Ui::PeriodicReportForm>()) {
    form_->setupUi(this);
    finishForm();
    setWindowTitle(QString::fromLatin1(kPeriodicReportCaption));
    QFont heading = form_->Titlu->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() * 3 / 2);
    form_->Titlu->setFont(heading);

    form_->ExecBut->setIcon(ThemedIcon("document-print", QStyle::SP_FileDialogDetailedView));
    form_->ExitBut->setIcon(ThemedIcon("go-previous", QStyle::SP_ArrowBack));
    for (QPushButton* picture : {form_->ExecBut, form_->ExitBut}) {
        picture->setAccessibleName(picture->toolTip());
    }

    QLineEdit* const dates[report_date::kCount] = {form_->DataInc_0, form_->DataInc_1,
                                                   form_->DataInc_2, form_->DataSf_3,
                                                   form_->DataSf_4,  form_->DataSf_5};
    PeriodicReportForm& f = screen_.form();
    for (std::size_t k = 0; k < report_date::kCount; ++k) {
        bindText(dates[k], f.Data[k]);
        setKeyRules(dates[k], {[this, k](char c) { return screen_.DataKeyPress(k, c); }, {}});
    }
    onClick(form_->ExecBut, [this] { screen_.ExecButClick(); });
    onClick(form_->ExitBut, [this] { screen_.ExitButClick(); });
}

PeriodicReportDialog::~PeriodicReportDialog() = default;

void PeriodicReportDialog::readForm() { screen_.form().Detaliat = form_->Detaliat->isChecked(); }

void PeriodicReportDialog::showForm() { form_->Detaliat->setChecked(screen_.form().Detaliat); }

QWidget* PeriodicReportDialog::firstControl() const { return form_->DataInc_0; }

void PeriodicReportDialog::escapePressed() {
    run([this] { screen_.EscapePressed(); });
}

}  // namespace veltar
