#include "printer_utilities_dialog.h"

#include "ui_printer_utilities_dialog.h"

namespace veltar {

PrinterUtilitiesDialog::PrinterUtilitiesDialog(Context& ctx, QWidget* parent)
    : ServiceDialog(ctx, parent, CloseBox::Shown),
      screen_(ctx),
      form_(std::make_unique<Ui::PrinterUtilitiesForm>()) {
    form_->setupUi(this);
    finishForm();
    setWindowTitle(QString::fromLatin1(kPrinterUtilitiesCaption));
    QFont heading = form_->Label1->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() * 3 / 2);
    form_->Label1->setFont(heading);

    PrinterUtilitiesForm& f = screen_.form();
    QLineEdit* const lines[kHeaderFooterLineCount] = {form_->Header1, form_->Header2,
                                                      form_->Header3, form_->Footer1,
                                                      form_->Footer2};
    for (std::size_t k = 0; k < kHeaderFooterLineCount; ++k) {
        bindText(lines[k], f.lines[k]);
        setKeyRules(lines[k], {[this, k](char c) { return screen_.LineKeyPress(k, c); }, {}});
    }
    QLineEdit* const clock[ora::kCount] = {form_->Ora_0, form_->Ora_1, form_->Ora_2,
                                           form_->Ora_3, form_->Ora_4, form_->Ora_5};
    for (std::size_t k = 0; k < ora::kCount; ++k) {
        bindText(clock[k], f.Ora[k]);
        setKeyRules(clock[k], {[this, k](char c) { return screen_.OraKeyPress(k, c); },
                               [this, k](int code) { screen_.OraKeyDown(k, code); }});
    }
    bindText(form_->NumarPOS, f.NumarPOS);
    bindText(form_->DataOra, f.DataOra);
    bindText(form_->StareImp, f.StareImp);
    bindText(form_->StareTranzactie, f.StareTranzactie);

    const struct {
        QPushButton* button;
        void (UtilitareImprimanta::*click)();
    } buttons[] = {
        {form_->Scrie, &UtilitareImprimanta::ScrieClick},
        {form_->CitesteDataOra, &UtilitareImprimanta::CitesteDataOraClick},
        {form_->ScrieDataOraBut, &UtilitareImprimanta::ScrieDataOraButClick},
        {form_->ScrieNrPOSBUT, &UtilitareImprimanta::ScrieNrPOSBUTClick},
        {form_->StareBut, &UtilitareImprimanta::StareButClick},
        {form_->StareTranz, &UtilitareImprimanta::StareTranzClick},
        {form_->ExitBut, &UtilitareImprimanta::ExitButClick},
    };
    for (const auto& b : buttons) {
        onClick(b.button, [this, click = b.click] { (screen_.*click)(); });
    }
}

PrinterUtilitiesDialog::~PrinterUtilitiesDialog() = default;

QWidget* PrinterUtilitiesDialog::control(UtilitiesControl c) const {
    switch (c) {
        case UtilitiesControl::Header1: return form_->Header1;
        case UtilitiesControl::Header2: return form_->Header2;
        case UtilitiesControl::Header3: return form_->Header3;
        case UtilitiesControl::Footer1: return form_->Footer1;
        case UtilitiesControl::Footer2: return form_->Footer2;
        case UtilitiesControl::Scrie: return form_->Scrie;
        case UtilitiesControl::Ora0: return form_->Ora_0;
        case UtilitiesControl::Ora1: return form_->Ora_1;
        case UtilitiesControl::Ora2: return form_->Ora_2;
        case UtilitiesControl::Ora3: return form_->Ora_3;
        case UtilitiesControl::Ora4: return form_->Ora_4;
        case UtilitiesControl::Ora5: return form_->Ora_5;
        case UtilitiesControl::ScrieDataOraBut: return form_->ScrieDataOraBut;
    }
    return nullptr;
}

QWidget* PrinterUtilitiesDialog::firstControl() const { return form_->StareBut; }

void PrinterUtilitiesDialog::showForm() {
    PrinterUtilitiesForm& f = screen_.form();
    if (f.focus) {
        focusControl(control(f.focus->control), f.focus->selectAll);
        f.focus.reset();
    }
}

void PrinterUtilitiesDialog::closeBoxPressed() {
    run([this] { screen_.ExitButClick(); });
}

}  // namespace veltar
