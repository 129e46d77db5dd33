// The printer utilities screen UtilitareImprimanta: the printer's clock, the
// receipt header and footer lines (GENERALE.TXT and LiniiHeaderFooter), the
// POS number, and the raw printer and transaction status.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "service/screen.h"
#include "shell/context.h"

namespace veltar {

inline constexpr const char* kPrinterUtilitiesCaption = "Utilitare Imprimanta fiscala";

// GENERALE.TXT holds exactly this many lines: header lines 1 to 3, footer lines 1 and 2.
inline constexpr std::size_t kHeaderFooterLineCount = 5;

// Indices of the Ora boxes, as the screen numbers them.
namespace ora {
inline constexpr std::size_t kSecond = 0;
inline constexpr std::size_t kMinute = 1;
inline constexpr std::size_t kHour = 2;
inline constexpr std::size_t kDay = 3;
inline constexpr std::size_t kMonth = 4;
inline constexpr std::size_t kYear = 5;
inline constexpr std::size_t kCount = 6;
}  // namespace ora

// The controls the screen may send the focus to.
enum class UtilitiesControl {
    Header1, Header2, Header3, Footer1, Footer2, Scrie,
    Ora0, Ora1, Ora2, Ora3, Ora4, Ora5, ScrieDataOraBut,
};

struct PrinterUtilitiesForm {
    // Header1, Header2, Header3, Footer1, Footer2.
    std::array<std::string, kHeaderFooterLineCount> lines;
    std::string NumarPOS;
    std::array<std::string, ora::kCount> Ora;  // Ora(0)..Ora(5), see `ora`
    std::string DataOra;
    std::string StareImp;
    std::string StareTranzactie;

    // Cleared by the dialog once carried out.
    std::optional<FocusRequest<UtilitiesControl>> focus;
};

class UtilitareImprimanta {
public:
    explicit UtilitareImprimanta(Context& ctx) : ctx_(ctx) {}

    PrinterUtilitiesForm& form() { return form_; }
    const PrinterUtilitiesForm& form() const { return form_; }

    // Form load: empty status and clock boxes, the POS number, the lines of GENERALE.TXT.
    void Load();

    // Key press in line box 0..4: any character is kept except Enter, which
    // stores the box's text into its LiniiHeaderFooter entry and moves on.
    bool LineKeyPress(std::size_t line, char typed);
    // Saves the five lines into GENERALE.TXT and LiniiHeaderFooter.
    void ScrieClick();
    void CitesteDataOraClick();
    void ScrieDataOraButClick();
    // Key press in Ora(index): whether to keep the typed character.
    bool OraKeyPress(std::size_t index, char typed);
    // Key down in Ora(index): Enter moves on, hour to year, then the write button.
    void OraKeyDown(std::size_t index, int keyCode);
    void ScrieNrPOSBUTClick();
    void StareButClick();
    void StareTranzClick();
    // Back to the main window, whose next activation runs the trading checks.
    void ExitButClick();

private:
    Context& ctx_;
    PrinterUtilitiesForm form_;
};

}  // namespace veltar
