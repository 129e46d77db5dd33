// The fiscal elements screen CfgElemFisc: reads and writes the fiscal
// identity the printer keeps (company name, address, fiscal code, fiscal
// series, the four VAT rates), fiscalizes a new printer and switches it to
// the redenominated leu. Every field starts empty and is filled only by its
// "Citeste" button; nothing is kept between openings of the screen.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "service/screen.h"
#include "shell/context.h"

namespace veltar {

namespace service_detail {
struct IdentityElement;
}

inline constexpr const char* kFiscalElementsCaption = "Elemente fiscale";

// The controls the screen may send the focus to.
enum class FiscalControl { TVAA, TVAB, TVAC, TVAD, Seriefiscala, DenFirma, AdresaFirma, CodFisc };

// Enabled states of the buttons the screen's rules can disable; the other
// buttons are always enabled.
struct FiscalElementsButtons {
    bool FiscalizareBut = true;
    bool ScrieSerieF = true;
    bool ScrieDenF = true;
    bool ScrieAdrF = true;
    bool ScrieCodF = true;
    bool cmdLeuGreu = true;
    friend bool operator==(const FiscalElementsButtons&, const FiscalElementsButtons&) = default;
};

struct FiscalElementsForm {
    std::string Seriefiscala;
    std::string DenFirma;
    std::string AdresaFirma;
    std::string CodFisc;
    std::array<std::string, 4> TVA;  // TVAA, TVAB, TVAC, TVAD: percent, "." as decimal point
    FiscalElementsButtons enabled;

    // Requests for the dialog, cleared by it once carried out.
    std::optional<FocusRequest<FiscalControl>> focus;
    // A double click on a field: show this text in a small read-only viewer.
    std::optional<std::string> viewerText;
};

class CfgElemFisc {
public:
    explicit CfgElemFisc(Context& ctx) : ctx_(ctx) {}

    FiscalElementsForm& form() { return form_; }
    const FiscalElementsForm& form() const { return form_; }

    // Form load: empty fields and the enabling rules; nothing is sent.
    void Load();

    void CitesteSerieFClick();
    void CitesteDenFClick();
    void CitesteAdrFClick();
    void CitesteCodFClick();
    void ScrieSerieFClick();
    void ScrieDenFClick();
    void ScrieAdrFClick();
    void ScrieCodFClick();
    void CitesteCoteClick();
    void ScrieCoteClick();
    void FiscalizareButClick();
    void cmdLeuGreuClick();
    void cmdVerifLeuGreuClick();
    // Back to the main window, whose next activation runs the trading checks
    // (they restart polling, which the service menu stopped, when they pass).
    void ExitButClick();

    // Key press in TVAA..TVAD (box 0..3): whether to keep the typed character.
    bool TVAKeyPress(std::size_t box, char typed);
    // Key down in TVAA..TVAD: Enter moves on to the next rate box.
    void TVAKeyDown(std::size_t box, int keyCode);
    // Double click on an identity field or a rate box: asks for a viewer of its text.
    void DoubleClick(FiscalControl field);

private:
    void ReadIdentity(const service_detail::IdentityElement& element);
    void WriteIdentity(const service_detail::IdentityElement& element);
    std::string& Field(FiscalControl field);

    Context& ctx_;
    FiscalElementsForm form_;
};

}  // namespace veltar
