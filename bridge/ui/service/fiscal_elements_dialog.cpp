#include "fiscal_elements_dialog.h"

#include <QHideEvent>

#include "field_viewer.h"
#include "qt_window_services.h"
#include "ui_fiscal_elements_dialog.h"

namespace veltar {

FiscalElementsDialog::FiscalElementsDialog(Context& ctx, QWidget* parent)
    : ServiceDialog(ctx, parent, CloseBox::Shown),
      screen_(ctx),
      form_(std::make_unique<Ui::FiscalElementsForm>()) {
    form_->setupUi(this);
    finishForm();
    setWindowTitle(QString::fromLatin1(kFiscalElementsCaption));
    viewer_ = new FieldViewer(this);

    QFont heading = form_->Label1->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() * 3 / 2);
    form_->Label1->setFont(heading);
    for (QLabel* warning : {form_->Label10, form_->Label12}) {
        QFont bold = warning->font();
        bold.setBold(true);
        warning->setFont(bold);
        warning->setStyleSheet(QStringLiteral("color: #b00020;"));
    }

    FiscalElementsForm& f = screen_.form();
    const struct {
        QLineEdit* box;
        std::string& field;
        FiscalControl control;
    } fields[] = {
        {form_->Seriefiscala, f.Seriefiscala, FiscalControl::Seriefiscala},
        {form_->DenFirma, f.DenFirma, FiscalControl::DenFirma},
        {form_->AdresaFirma, f.AdresaFirma, FiscalControl::AdresaFirma},
        {form_->CodFisc, f.CodFisc, FiscalControl::CodFisc},
        {form_->TVAA, f.TVA[0], FiscalControl::TVAA},
        {form_->TVAB, f.TVA[1], FiscalControl::TVAB},
        {form_->TVAC, f.TVA[2], FiscalControl::TVAC},
        {form_->TVAD, f.TVA[3], FiscalControl::TVAD},
    };
    for (const auto& field : fields) {
        bindText(field.box, field.field);
        const FiscalControl c = field.control;
        onDoubleClick(field.box, [this, c] { screen_.DoubleClick(c); });
    }
    QLineEdit* const rates[] = {form_->TVAA, form_->TVAB, form_->TVAC, form_->TVAD};
    for (std::size_t k = 0; k < std::size(rates); ++k) {
        setKeyRules(rates[k], {[this, k](char c) { return screen_.TVAKeyPress(k, c); },
                               [this, k](int code) { screen_.TVAKeyDown(k, code); }});
    }

    const struct {
        QPushButton* button;
        void (CfgElemFisc::*click)();
    } buttons[] = {
        {form_->CitesteSerieF, &CfgElemFisc::CitesteSerieFClick},
        {form_->CitesteDenF, &CfgElemFisc::CitesteDenFClick},
        {form_->CitesteAdrF, &CfgElemFisc::CitesteAdrFClick},
        {form_->CitesteCodF, &CfgElemFisc::CitesteCodFClick},
        {form_->ScrieSerieF, &CfgElemFisc::ScrieSerieFClick},
        {form_->ScrieDenF, &CfgElemFisc::ScrieDenFClick},
        {form_->ScrieAdrF, &CfgElemFisc::ScrieAdrFClick},
        {form_->ScrieCodF, &CfgElemFisc::ScrieCodFClick},
        {form_->CitesteCote, &CfgElemFisc::CitesteCoteClick},
        {form_->ScrieCote, &CfgElemFisc::ScrieCoteClick},
        {form_->FiscalizareBut, &CfgElemFisc::FiscalizareButClick},
        {form_->cmdLeuGreu, &CfgElemFisc::cmdLeuGreuClick},
        {form_->cmdVerifLeuGreu, &CfgElemFisc::cmdVerifLeuGreuClick},
        {form_->ExitBut, &CfgElemFisc::ExitButClick},
    };
    for (const auto& b : buttons) {
        onClick(b.button, [this, click = b.click] { (screen_.*click)(); });
    }
}

FiscalElementsDialog::~FiscalElementsDialog() = default;

QWidget* FiscalElementsDialog::control(FiscalControl c) const {
    switch (c) {
        case FiscalControl::TVAA: return form_->TVAA;
        case FiscalControl::TVAB: return form_->TVAB;
        case FiscalControl::TVAC: return form_->TVAC;
        case FiscalControl::TVAD: return form_->TVAD;
        case FiscalControl::Seriefiscala: return form_->Seriefiscala;
        case FiscalControl::DenFirma: return form_->DenFirma;
        case FiscalControl::AdresaFirma: return form_->AdresaFirma;
        case FiscalControl::CodFisc: return form_->CodFisc;
    }
    return nullptr;
}

QWidget* FiscalElementsDialog::firstControl() const { return form_->TVAA; }

void FiscalElementsDialog::showForm() {
    FiscalElementsForm& f = screen_.form();
    form_->FiscalizareBut->setEnabled(f.enabled.FiscalizareBut);
    form_->ScrieSerieF->setEnabled(f.enabled.ScrieSerieF);
    form_->ScrieDenF->setEnabled(f.enabled.ScrieDenF);
    form_->ScrieAdrF->setEnabled(f.enabled.ScrieAdrF);
    form_->ScrieCodF->setEnabled(f.enabled.ScrieCodF);
    form_->cmdLeuGreu->setEnabled(f.enabled.cmdLeuGreu);
    if (f.focus) {
        focusControl(control(f.focus->control), f.focus->selectAll);
        f.focus.reset();
    }
    if (f.viewerText) {
        viewer_->showText(DisplayText(*f.viewerText));
        f.viewerText.reset();
    }
}

void FiscalElementsDialog::closeBoxPressed() {
    run([this] { screen_.ExitButClick(); });
}

void FiscalElementsDialog::hideEvent(QHideEvent* event) {
    // The viewer shows a field of this screen: it goes when the screen goes.
    if (!event->spontaneous()) viewer_->hide();
    ServiceDialog::hideEvent(event);
}

}  // namespace veltar
