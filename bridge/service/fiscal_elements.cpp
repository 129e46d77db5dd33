#include "service/fiscal_elements.h"

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "command/status.h"
#include "exchange/request_files.h"
#include "shell/datetime.h"

namespace veltar {

using service_detail::BoxValue;
using service_detail::CallLibrary;
using service_detail::FailureLog;
using service_detail::FailureRoute;
using service_detail::FloorToInteger;
using service_detail::OneOf;
using service_detail::ReplyText;
using service_detail::RunHandler;

namespace {

constexpr std::size_t kCodeOrSeriesMax = 15;
constexpr std::size_t kVatBoxes = 4;
constexpr std::size_t kVatReplyGroup = 4;  // bytes per rate in the reply of 15
constexpr int kMaxRateWhole = 255;         // the whole percent travels in one byte

constexpr const char* kNotAllowedText =
    "Executarea comenzii nu e permisa in regimul fiscal curent!";
constexpr const char* kAllZeroText = "Cotele de TVA nu pot fi toate 0 sau vide!";
constexpr const char* kDayEndFirstText =
    "Cotele TVA nu se pot scrie decat dupa executarea raportului Z (Inchiderea de zi)";
constexpr const char* kVatNoReplyText = "Lipsa comunicatie cu imprimanta. Eroare IRECUPERABILA";
constexpr const char* kFiscalizeQuestion =
    "Fiscalizarea imprimantei este IREVERSIBILA si nu se poate face decat O SINGURA DATA. "
    "\rDoriti fiscalizarea imprimantei?";
constexpr const char* kLeuTooEarlyText =
    "Trecerea la Leul Greu nu se poate face decat incepand cu data de 30.06.2005!";
constexpr const char* kLeuQuestion =
    "ATENTIE! Acest Proces este ireversibil!\r\nSunteti siguri ca doriti sa treceti la Leu Greu?";
constexpr const char* kLeuDoneText = "S-a realizat trecerea la Leu Greu";
constexpr const char* kLeuFailedText = "Nu s-a reusit trecerea la Leu Greu!";
constexpr const char* kLeuAlreadyText = "Imprimanta este setata deja pe leu greu!";
constexpr const char* kNoLeuReadText = "Nu exista Comanda Citire Leu Greu!";
constexpr const char* kNoLeuReadCheckText =
    "Nu exista Comanda Citire Leu Greu! Verificati Kordal.dll si procesor imprimanta";
constexpr const char* kLeuSwitchedOnText = "S-a facut trecerea la Leu Greu pe data de: ";
constexpr const char* kLeuNotSwitchedText = "Nu s-a facut trecerea la Leu Greu!";

// The first day on which the printer may switch to the redenominated leu.
constexpr DateTime kLeuSwitchAllowedFrom{2005, 6, 30, 0, 0, 0};

const FailureRoute kEnterKeyRoute{"", FailureLog::None};

FailureRoute CodeAlone(const char* code) { return FailureRoute{code, FailureLog::CodeAlone}; }

void Show(Context& ctx, const std::string& text, const char* title = kProgramTitle,
          Icon icon = Icon::None) {
    ctx.services.ui.messageBox(text, title, icon, Buttons::Ok);
}

// VerificareExecutieComanda with its boxes shown.
bool StatusAccepted(Context& ctx) {
    int32_t printerIndex = 0;
    std::string response = kShowBoxes;
    return VerificareExecutieComanda(ctx, printerIndex, response);
}

// A write the printer took, but that its fiscal mode does not allow.
void ReportNotAllowed(Context& ctx) {
    if (StatusAccepted(ctx) && IsSet(ctx.command, status_bit::kNotAllowedInFiscalMode)) {
        Show(ctx, kNotAllowedText, kTitleRutinaVerificare, Icon::Information);
    }
}

// The amounts follow the printer's leu state as the trading checks set
// them: a screen that reads or changes the state without them would leave
// the cash amounts counted in the other leu until the checks ran again.
void MoneyFollowsLeuGreu(Context& ctx) {
    MoneyState& money = ctx.money;
    if (money.LeuGreu != 0) {
        money.NrZecimale = 2;
        money.FactorLeu = Amount::fromInt(10000);
    } else {
        money.NrZecimale = 0;
        money.FactorLeu = Amount::fromInt(1);
    }
}

// A rate as the printer takes it: whole percent and hundredths. The rate is
// rounded to hundredths first, so 19.999 is 20 and 0, never 19 and 100.
struct RateBytes {
    int32_t whole;
    int32_t hundredths;
};
RateBytes ToRateBytes(Amount rate) {
    const Amount rounded = rate.roundTo(2);
    const int64_t whole = FloorToInteger(rounded);
    if (whole < 0 || whole > kMaxRateWhole) ThrowAmountOverflow();
    const int64_t hundredths = (rounded - Amount::fromInt(whole)).raw / (Amount::kScale / 100);
    return {static_cast<int32_t>(whole), static_cast<int32_t>(hundredths)};
}

std::string FormatRate(uint8_t whole, uint8_t hundredths) {
    return std::to_string(whole) + (hundredths < 10 ? ".0" : ".") + std::to_string(hundredths);
}

std::string WithoutLeadingBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

// One identity element: its field, its read and write commands, the
// location codes of both buttons and the texts of the write's checks.
struct service_detail::IdentityElement {
    FiscalControl field;
    uint8_t readCode;
    const char* readLocation;
    uint8_t writeCode;
    const char* writeLocation;
    const char* emptyText;
    const char* tooLongText;  // nullptr: no length check here
};

namespace {

using Identity = service_detail::IdentityElement;

const Identity kFiscalSeries{FiscalControl::Seriefiscala,
                             command_code::kReadFiscalSeries,
                             "2.006",
                             command_code::kWriteFiscalSeries,
                             "2.015",
                             "Trebuie scrisa Seria Fiscal! ",
                             "Seria Fiscala nu poate contine mai mult de 15 caractere! "};
const Identity kCompanyName{FiscalControl::DenFirma,
                            command_code::kReadCompanyName,
                            "2.005",
                            command_code::kWriteCompanyName,
                            "2.014",
                            "Trebuie scrisa Denumirea Firmei! ",
                            nullptr};
const Identity kCompanyAddress{FiscalControl::AdresaFirma,
                               command_code::kReadCompanyAddress,
                               "2.002",
                               command_code::kWriteCompanyAddress,
                               "2.011",
                               "Trebuie scrisa Adresa Firmei! ",
                               nullptr};
// Written with 5, not with the 42 that would continue the run of the other
// identity writes: 42 is the cash command.
const Identity kFiscalCode{FiscalControl::CodFisc,
                           command_code::kReadFiscalCode,
                           "2.003",
                           command_code::kWriteFiscalCode,
                           "2.012",
                           "Trebuie scris Codul Fiscal! ",
                           "Codul Fiscal nu poate contine mai mult de 15 caractere! "};

}  // namespace

std::string& CfgElemFisc::Field(FiscalControl field) {
    switch (field) {
        case FiscalControl::Seriefiscala: return form_.Seriefiscala;
        case FiscalControl::DenFirma: return form_.DenFirma;
        case FiscalControl::AdresaFirma: return form_.AdresaFirma;
        case FiscalControl::CodFisc: return form_.CodFisc;
        case FiscalControl::TVAA: return form_.TVA[0];
        case FiscalControl::TVAB: return form_.TVA[1];
        case FiscalControl::TVAC: return form_.TVA[2];
        case FiscalControl::TVAD: break;
    }
    return form_.TVA[3];
}

void CfgElemFisc::Load() {
    form_ = FiscalElementsForm{};
    // The status is the last one any part of the bridge copied out of a
    // reply; the screen itself sends nothing here.
    if (ctx_.money.LeuGreu == 1) form_.enabled.cmdLeuGreu = false;
    if (IsSet(ctx_.command, status_bit::kFiscalized)) {
        // The identity is fixed once the printer is fiscalized; the rates
        // may still change after a day-end report.
        form_.enabled.FiscalizareBut = false;
        form_.enabled.ScrieSerieF = false;
        form_.enabled.ScrieAdrF = false;
        form_.enabled.ScrieDenF = false;
        form_.enabled.ScrieCodF = false;
    }
}

void CfgElemFisc::ReadIdentity(const service_detail::IdentityElement& element) {
    RunHandler(ctx_, CodeAlone(element.readLocation), [&] {
        if (TrimiteComandaImp(ctx_, {}, element.readCode) != imp_result::kAccepted) return;
        Field(element.field) = WithoutLeadingBlanks(ReplyText(ctx_.command.BufRaspuns));
    });
}

void CfgElemFisc::WriteIdentity(const service_detail::IdentityElement& element) {
    RunHandler(ctx_, CodeAlone(element.writeLocation), [&] {
        const std::string text = TrimBlanks(Field(element.field));
        const char* refusal = nullptr;
        if (text.empty()) {
            refusal = element.emptyText;
        } else if (element.tooLongText != nullptr && text.size() > kCodeOrSeriesMax) {
            refusal = element.tooLongText;
        }
        if (refusal != nullptr) {
            Show(ctx_, refusal);
            form_.focus = FocusRequest<FiscalControl>{element.field};
            return;
        }
        if (TrimiteComandaImp(ctx_, text, element.writeCode) != imp_result::kAccepted) return;
        ReportNotAllowed(ctx_);
    });
}

void CfgElemFisc::CitesteSerieFClick() { ReadIdentity(kFiscalSeries); }
void CfgElemFisc::CitesteDenFClick() { ReadIdentity(kCompanyName); }
void CfgElemFisc::CitesteAdrFClick() { ReadIdentity(kCompanyAddress); }
void CfgElemFisc::CitesteCodFClick() { ReadIdentity(kFiscalCode); }
void CfgElemFisc::ScrieSerieFClick() { WriteIdentity(kFiscalSeries); }
void CfgElemFisc::ScrieDenFClick() { WriteIdentity(kCompanyName); }
void CfgElemFisc::ScrieAdrFClick() { WriteIdentity(kCompanyAddress); }
void CfgElemFisc::ScrieCodFClick() { WriteIdentity(kFiscalCode); }

void CfgElemFisc::CitesteCoteClick() {
    RunHandler(ctx_, CodeAlone("2.004"), [&] {
        if (TrimiteComandaImp(ctx_, {}, command_code::kReadVatRates) != imp_result::kAccepted) {
            return;
        }
        if (!StatusAccepted(ctx_)) return;
        const std::string& reply = ctx_.command.BufRaspuns;
        for (std::size_t k = 0; k < kVatBoxes; ++k) {
            const std::size_t at = k * kVatReplyGroup;
            form_.TVA[k] = FormatRate(static_cast<uint8_t>(reply.at(at)),
                                      static_cast<uint8_t>(reply.at(at + 2)));
        }
    });
}

void CfgElemFisc::ScrieCoteClick() {
    RunHandler(ctx_, CodeAlone("2.013"), [&] {
        std::array<Amount, kVatBoxes> rates{};
        bool allZero = true;
        for (std::size_t k = 0; k < kVatBoxes; ++k) {
            rates[k] = BoxValue(form_.TVA[k]);
            allZero = allZero && rates[k] == Amount{};
        }
        if (allZero) {
            Show(ctx_, kAllZeroText);
            form_.focus = FocusRequest<FiscalControl>{FiscalControl::TVAA};
            return;
        }

        // The printer takes new rates only on a day without receipts.
        if (TrimiteComandaImp(ctx_, {}, command_code::kReadDayCounters) ==
            imp_result::kAccepted) {
            if (!StatusAccepted(ctx_)) return;
            const std::string& reply = ctx_.command.BufRaspuns;
            if (static_cast<uint8_t>(reply.at(1)) > 0 || static_cast<uint8_t>(reply.at(0)) > 0) {
                Show(ctx_, kDayEndFirstText, kTitleVeltarSpaced, Icon::Information);
                return;
            }
        }
        // A failed check has shown its message; the write goes ahead.

        std::array<RateBytes, kVatBoxes> bytes{};
        for (std::size_t k = 0; k < kVatBoxes; ++k) bytes[k] = ToRateBytes(rates[k]);

        CommandState& state = ctx_.command;
        ResetBuffers(state);
        const int32_t result = CallLibrary(ctx_, [&] {
            return ctx_.services.kordal.ScrieCoteTVA(
                ctx_.settings.ComPort, bytes[0].whole, bytes[0].hundredths, bytes[1].whole,
                bytes[1].hundredths, bytes[2].whole, bytes[2].hundredths, bytes[3].whole,
                bytes[3].hundredths, state.BufRaspuns.data(), state.BufStare.data());
        });
        if (result == library_result::kOk) {
            ReportNotAllowed(ctx_);
        } else if (result == library_result::kNoReply) {
            Show(ctx_, kVatNoReplyText, kTitleVeltarSpaced, Icon::Error);
        }
    });
}

void CfgElemFisc::FiscalizareButClick() {
    RunHandler(ctx_, CodeAlone("2.010"), [&] {
        if (ctx_.services.ui.messageBox(kFiscalizeQuestion, kTitleVeltarSpaced, Icon::Warning,
                                        Buttons::OkCancel) != Answer::Ok) {
            return;
        }
        if (TrimiteComandaImp(ctx_, {}, command_code::kFiscalize) != imp_result::kAccepted) return;
        if (!StatusAccepted(ctx_)) return;
        const CommandState& state = ctx_.command;
        if (IsSet(state, status_bit::kFiscalMemoryWriteError)) {
            Show(ctx_, "A aparut o eroare la inregistrarea in memoria fiscala !",
                 kTitleRutinaVerificare, Icon::Information);
        }
        if (!IsSet(state, status_bit::kFiscalized)) {
            Show(ctx_, "Imprimanta nu a fost fiscalizata! Chemati service-ul",
                 kTitleRutinaVerificare, Icon::Information);
        }
        if (IsSet(state, status_bit::kNotAllowedInFiscalMode)) {
            Show(ctx_, kNotAllowedText, kTitleRutinaVerificare, Icon::Information);
        }
    });
}

void CfgElemFisc::cmdLeuGreuClick() {
    RunHandler(ctx_, FailureRoute{"cmdLeuGreu ", FailureLog::CodeAndDescription}, [&] {
        DateTime today = ctx_.services.clock.now();
        today.hour = today.minute = today.second = 0;
        if (today < kLeuSwitchAllowedFrom) {
            Show(ctx_, kLeuTooEarlyText);
            return;
        }
        if (ctx_.services.ui.messageBox(kLeuQuestion, kProgramTitle, Icon::None,
                                        Buttons::YesNo) != Answer::Yes) {
            return;
        }
        int32_t printerIndex = 0;
        std::string response = kShowBoxes;
        DateTime printerTime;
        if (!CitesteDataOraImp(ctx_, printerIndex, printerTime, response)) return;
        DateTime switchTime;
        int32_t switchZNumber = -1;
        const bool read = CitesteLeuGreuImp(ctx_, printerIndex, switchTime, switchZNumber,
                                            response);
        MoneyFollowsLeuGreu(ctx_);
        if (!read) return;
        if (IsSet(ctx_.command, status_bit::kUnknownCommand)) {
            Show(ctx_, kNoLeuReadText, kTitleRutinaVerificare, Icon::Information);
            return;
        }
        if (ctx_.money.LeuGreu != 0) {
            Show(ctx_, kLeuAlreadyText);
            return;
        }
        const bool switched = ScrieLeuGreuImp(ctx_, printerIndex, switchTime, switchZNumber);
        MoneyFollowsLeuGreu(ctx_);
        if (switched) {
            Show(ctx_, kLeuDoneText);
            form_.enabled.cmdLeuGreu = false;
        } else {
            Show(ctx_, kLeuFailedText);
        }
    });
}

void CfgElemFisc::cmdVerifLeuGreuClick() {
    RunHandler(ctx_, FailureRoute{"cmdVerifLeuGreu ", FailureLog::CodeAndDescription}, [&] {
        int32_t printerIndex = 0;
        std::string response = kShowBoxes;
        DateTime switchTime;
        int32_t switchZNumber = -1;
        const bool read = CitesteLeuGreuImp(ctx_, printerIndex, switchTime, switchZNumber,
                                            response);
        MoneyFollowsLeuGreu(ctx_);
        if (!read) return;
        if (IsSet(ctx_.command, status_bit::kUnknownCommand)) {
            Show(ctx_, kNoLeuReadCheckText, kTitleRutinaVerificare, Icon::Information);
        } else if (ctx_.money.LeuGreu != 0) {
            Show(ctx_, kLeuSwitchedOnText + FormatShortDate(switchTime) + " " +
                           FormatLongTime(switchTime) + " si nr z: " +
                           std::to_string(switchZNumber) + "!");
        } else {
            Show(ctx_, kLeuNotSwitchedText);
        }
    });
}

void CfgElemFisc::ExitButClick() {
    RunHandler(ctx_, CodeAlone("2.009"), [&] {
        // The service menu stopped polling on the way here; without the
        // checks at the main window's activation nothing would ever start it
        // again, and requests would wait unanswered with nobody told. The
        // checks also compare rates just written with TVA.TXT.
        ctx_.VerificareLaActivare = true;
        ctx_.services.ui.showWindow(Window::Main);
        ctx_.services.ui.closeWindow(Window::FiscalElements);
    });
}

bool CfgElemFisc::TVAKeyPress(std::size_t box, char typed) {
    static const char* const kLocations[kVatBoxes] = {"2.018", "2.020", "2.022", "2.024"};
    bool keep = false;
    RunHandler(ctx_, CodeAlone(kLocations[box < kVatBoxes ? box : kVatBoxes - 1]), [&] {
        keep = typed == kBackspaceChar || OneOf(typed, "1234567890.");
    });
    return keep;
}

void CfgElemFisc::TVAKeyDown(std::size_t box, int keyCode) {
    RunHandler(ctx_, kEnterKeyRoute, [&] {
        static constexpr FiscalControl kNext[] = {FiscalControl::TVAB, FiscalControl::TVAC,
                                                  FiscalControl::TVAD};
        // Enter in the last box stays there.
        if (keyCode != kKeyEnter || box >= std::size(kNext)) return;
        form_.focus = FocusRequest<FiscalControl>{kNext[box]};
    });
}

void CfgElemFisc::DoubleClick(FiscalControl field) {
    const char* location = "2.023";
    switch (field) {
        case FiscalControl::Seriefiscala: location = "2.016"; break;
        case FiscalControl::DenFirma: location = "2.008"; break;
        case FiscalControl::AdresaFirma: location = "2.001"; break;
        case FiscalControl::CodFisc: location = "2.007"; break;
        case FiscalControl::TVAA: location = "2.017"; break;
        case FiscalControl::TVAB: location = "2.019"; break;
        case FiscalControl::TVAC: location = "2.021"; break;
        case FiscalControl::TVAD: break;
    }
    RunHandler(ctx_, CodeAlone(location), [&] { form_.viewerText = Field(field); });
}

}  // namespace veltar
