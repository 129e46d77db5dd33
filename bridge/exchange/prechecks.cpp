#include "exchange/prechecks.h"

#include <optional>
#include <string>
#include <vector>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "command/status.h"
#include "exchange/request_files.h"
#include "exchange/tick.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr std::size_t kVatRateCount = 4;
// Command 15 answers per group: whole percent, a separator, hundredths, a separator.
constexpr std::size_t kRateStride = 4;
constexpr std::size_t kHundredthsOffset = 2;
constexpr int kRateDecimals = 4;

constexpr const char* kFiscalMemoryFullFile =
    "Memorie fiscala plina! Trebuie schimbata memoria fiscala.";
constexpr const char* kFiscalMemoryFullBox =
    "Memorie fiscala plina! Trebuie schimbata memoria fiscala. Chemati service-ul ";
constexpr const char* kInvalidRatesFile = "Cote TVA nevalide! Setati cotele din ecranul de SERVICE";
constexpr const char* kInvalidRatesBox =
    "Cote TVA nevalide! Setati cotele din ecranul de SERVICE, apoi OPRITI si REPORNITI "
    "programul.";
constexpr const char* kFewRecordsBox = "Mai sunt mai putin de 60 de inregistari in memoria fiscala!";
constexpr const char* kNoDisplayFile =
    "Lipsa display client ! Porniti sau cuplati la imprimanta display-ul client";
constexpr const char* kNoDisplayBox =
    "Lipsa display client ! Porniti sau cuplati la imprimanta display-ul client, apoi reporniti "
    "VELTAR 2000";
constexpr const char* kDayOverFile = "Au trecut 24 de ore de la primul bon fiscal. ";
constexpr const char* kDayOverBox =
    "Au trecut 24 de ore de la primul bon fiscal. \r\nTrebuie executat Inchidere Zi (Raport Z)!";
constexpr const char* kLeuReadFile = "Nu s-a putut da Citire Leu Greu! Verificati Imprimanta.";
constexpr const char* kLeuReadBox =
    "Nu s-a putut da Citire Leu Greu! Verificati Imprimanta. Programul trebuie restartat!";

constexpr const char* kVatFileMissing = "Fisierul TVA.TXT nu exista!";
constexpr const char* kVatFileEmpty =
    "Fisierul TVA.TXT este vid. Scrieti cele 4 cotele TVA separate prin TAB (09h) si lansati "
    "inca o data programul! ";
constexpr const char* kVatFileMalformed =
    " Fisiertul TVA.TXT contine erori de structura! Tranzactiile nu se pot efectua !";
constexpr const char* kVatRatesDiffer =
    "Atentie! Cotele de TVA din imprimanta nu corespund cu cotele transmise in fisierul "
    "TVA.TXT. Tranzactiile nu se pot efectua.!";
constexpr const char* kVatFailureCode = "1.003";

// The sequence's own steps may not stop it: a failure of one is passed over
// and the next step runs (SkipOnFailure).
void ShowBox(Context& ctx, const std::string& text, const std::string& title, Icon icon) {
    SkipOnFailure([&] { ctx.services.ui.messageBox(text, title, icon, Buttons::Ok); });
}

void StopTrading(Context& ctx) {
    SkipOnFailure([&] { ctx.services.ui.setPollingTimer(false); });
}

// The first line of TVA.TXT cut into its four fields, each ended by a TAB;
// nothing when a TAB is missing.
std::optional<std::vector<std::string>> VatFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t position = 0;
    for (std::size_t k = 0; k < kVatRateCount; ++k) {
        const std::size_t tab = line.find('\t', position);
        if (tab == std::string::npos) return std::nullopt;
        fields.push_back(line.substr(position, tab - position));
        position = tab + 1;
    }
    return fields;
}

uint8_t ReplyByte(const std::string& data, std::size_t at) {
    if (at >= data.size()) {
        throw RuntimeError(error_number::kOutOfRange, "Subscript out of range");
    }
    return static_cast<uint8_t>(data[at]);
}

// Ends the process where a VAT check cannot go on at all; the main window is
// not closed first.
// Trading cannot start: the operator sees why, and so does the sales
// application, which otherwise would only see its requests never answered.
void RefuseTrading(Context& ctx, const std::string& text) {
    if (!text.empty()) ScrieErrInFis(ctx, text);
    WriteDisplay(ctx, text);
}

bool EndProcess(Context& ctx, const std::string& text) {
    RefuseTrading(ctx, text);
    EndProgram(ctx, false);
    return false;
}

bool CompareVatRates(Context& ctx) {
    ExchangeState& state = ctx.exchange;

    const std::optional<std::string> found = FindRequestFile(ctx, kVatRatesFile);
    if (!found) {
        ScrieErrInFis(ctx, kVatFileMissing);
        ShowBox(ctx, kVatFileMissing, kTitleVeltarSpaced, Icon::Error);
        return false;
    }
    const std::vector<std::string> lines = ctx.services.files.readLines(*found);
    if (lines.empty()) {
        RefuseTrading(ctx, kVatFileEmpty);
        return false;
    }
    const std::optional<std::vector<std::string>> fields = VatFields(lines.front());
    if (!fields) return EndProcess(ctx, kVatFileMalformed);
    for (std::size_t k = 0; k < kVatRateCount; ++k) {
        bool fits = true;
        const Amount rate = ReadLeadingNumber((*fields)[k], &fits);
        if (!fits) ThrowAmountOverflow();
        state.CoteTVAFisier[k] = rate.roundTo(kRateDecimals);
    }

    std::string response;
    if (!SendCommand(ctx, 0, command_code::kReadVatRates, {}, response)) {
        return EndProcess(ctx, response);
    }
    const std::string& data = ctx.command.BufRaspuns;
    for (std::size_t k = 0; k < kVatRateCount; ++k) {
        const uint8_t whole = ReplyByte(data, kRateStride * k);
        const uint8_t hundredths = ReplyByte(data, kRateStride * k + kHundredthsOffset);
        state.CoteTVAImp[k] = Amount::fromInt(whole) + Amount::fromRaw(hundredths * 100);
    }

    if (state.CoteTVAImp != state.CoteTVAFisier) {
        RefuseTrading(ctx, kVatRatesDiffer);
        return false;
    }
    return true;
}

}  // namespace

bool VerificaCoteTVA(Context& ctx) {
    try {
        return CompareVatRates(ctx);
    } catch (const RuntimeError& failure) {
        WriteDisplay(ctx, failure.description());
        SkipOnFailure([&] { ScrieLog(ctx, kVatFailureCode + failure.description(), failure.number()); });
        return false;
    }
}

void VerificariPornire(Context& ctx) {
    CommandState& command = ctx.command;
    int32_t printerIndex = 0;

    std::string response;
    if (!SendCommand(ctx, printerIndex, command_code::kPrinterStatus, {}, response)) {
        // The polling timer keeps its state: a printer that does not answer
        // now may answer at the next tick.
        ScrieErrInFis(ctx, response);
        ShowBox(ctx, response, kTitleRutinaVerificare, Icon::Information);
        return;
    }

    if (IsSet(command, status_bit::kFiscalMemoryFull)) {
        ScrieErrInFis(ctx, kFiscalMemoryFullFile);
        ShowBox(ctx, kFiscalMemoryFullBox, kTitleRutinaVerificare, Icon::Information);
        StopTrading(ctx);
        return;
    }
    if (IsSet(command, status_bit::kInvalidVatRates)) {
        ScrieErrInFis(ctx, kInvalidRatesFile);
        ShowBox(ctx, kInvalidRatesBox, kTitleRutinaVerificare, Icon::Information);
        StopTrading(ctx);
        return;
    }
    if (IsSet(command, status_bit::kFiscalMemoryNearlyFull)) {
        ShowBox(ctx, kFewRecordsBox, kTitleRutinaVerificare, Icon::Information);
    }
    if (IsSet(command, status_bit::kNoCustomerDisplay)) {
        ScrieErrInFis(ctx, kNoDisplayFile);
        ShowBox(ctx, kNoDisplayBox, kTitleVeltarSpaced, Icon::Error);
        EndProgram(ctx);
        return;
    }
    if (IsSet(command, status_bit::kDayOlderThan24Hours)) {
        ScrieErrInFis(ctx, kDayOverFile);
        ShowBox(ctx, kDayOverBox, kProgramTitle, Icon::None);
        StopTrading(ctx);
        return;
    }

    DateTime switchTime;
    int32_t switchZNumber = 0;
    std::string showBoxes = kShowBoxes;
    if (!CitesteLeuGreuImp(ctx, printerIndex, switchTime, switchZNumber, showBoxes)) {
        ScrieErrInFis(ctx, kLeuReadFile);
        ShowBox(ctx, kLeuReadBox, kProgramTitle, Icon::None);
        EndProgram(ctx);
        return;
    }
    if (ctx.money.LeuGreu != 0) {
        ctx.money.NrZecimale = 2;
        ctx.money.FactorLeu = Amount::fromInt(10000);
    } else {
        ctx.money.NrZecimale = 0;
        ctx.money.FactorLeu = Amount::fromInt(1);
    }

    if (VerificaCoteTVA(ctx)) {
        PollingTick(ctx);
    } else if (!ctx.exchange.programEnded) {
        StopTrading(ctx);
    }
}

}  // namespace veltar
