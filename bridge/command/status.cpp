#include "command/status.h"

#include <initializer_list>

#include "command/exchange.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr std::size_t kStatusByteCount = 8;

constexpr const char* kTextPaperOutLong =
    "Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
constexpr const char* kTextPaperOutShort = " Lipsa hartie!";
constexpr const char* kTextInvalidCommand =
    "Codul sau argumentele comenzii primite nu sunt valabile!";
constexpr const char* kTextCommandFailed = "Eroare in executarea comenzii!";
constexpr const char* kTextNotAllowed =
    "Executarea comenzii nu e permisa in regimul fiscal curent!";
constexpr const char* kTextDateTimeLost = "Data si ora nedeterminate dupa ultima stergere RAM!";
constexpr const char* kTextAmountOverflow = "La executarea comenzii se depasesc campuri de sume!";
constexpr const char* kTextUnknownCommand = "Eroare comanda!";
constexpr const char* kTextChecksum = "Eroare CRC!";
constexpr const char* kTextSequence = "Eroare secventa!";
constexpr const char* kTextReadOnly = "Imprimanta fiscala este in regim de READ ONLY!";

// A condition of an evaluator: any of its bits set shows its text. Unused
// slots hold a zero mask, which is never set.
struct Check {
    const char* text;
    StatusBit first;
    StatusBit second{0, 0};
    StatusBit third{0, 0};
};

bool Holds(const CommandState& state, const Check& check) {
    return IsSet(state, check.first) || IsSet(state, check.second) || IsSet(state, check.third);
}

// Shows one information box under "Rutina Verificare" for every check that holds.
void ReportEvery(Context& ctx, std::initializer_list<Check> checks) {
    for (const Check& check : checks) {
        if (Holds(ctx.command, check)) {
            ctx.services.ui.messageBox(check.text, kTitleRutinaVerificare, Icon::Information,
                                       Buttons::Ok);
        }
    }
}

}  // namespace

void RefreshStatus(CommandState& state) {
    if (state.BufStare.size() < kStatusByteCount) {
        throw RuntimeError(error_number::kOutOfRange, "Subscript out of range");
    }
    for (std::size_t i = 0; i < kStatusByteCount; ++i) {
        state.OctetiStare[i] = static_cast<uint8_t>(state.BufStare[i]);
    }
}

bool VerificareExecutieComanda(Context& ctx, int32_t& /*printerIndex*/, std::string& response) {
    using namespace status_bit;
    try {
        RefreshStatus(ctx.command);
    } catch (const RuntimeError& failure) {
        // The verdict then rests on the bytes of the last good refresh.
        ScrieLog(ctx, "VerificareExecutieComanda: " + failure.description(), failure.number());
    }

    static const Check kOrder[] = {
        {kTextPaperOutLong, kPaperOut, kPaperOutS3_20, kPaperOutS1},
        {"Imprimanta infundata cu hartie (PAPPER JAM). Verificati imprimanta !", kPaperJam04,
         kPaperJam08},
        {"Verificati imprimanta !", kCommandFailed},
        {"Data si ora nedeterminate dupa ultima stergere RAM! Setati data/ora din ecranul de "
         "service!",
         kDateTimeLost},
        {kTextInvalidCommand, kInvalidCommand},
        {kTextSequence, kPrinterSawSequenceError},
        {kTextChecksum, kPrinterSawChecksumError},
        {"Verificati Capacul Imprimantei", kCoverOpen},
    };
    for (const Check& check : kOrder) {
        if (Holds(ctx.command, check)) {
            try {
                ReportProblem(ctx, response, check.text, kTitleNorvade, Icon::Information);
            } catch (const RuntimeError& failure) {
                ScrieLog(ctx, "VerificareExecutieComanda: " + failure.description(),
                         failure.number());
            }
            return false;
        }
    }
    return true;
}

void TrateazaEroriImp(Context& ctx) {
    using namespace status_bit;
    try {
        RefreshStatus(ctx.command);
        ReportEvery(ctx, {
                             {"Argumente invalide!", kInvalidCommand},
                             {kTextCommandFailed, kCommandFailed},
                             {kTextNotAllowed, kNotAllowedInFiscalMode},
                         });
    } catch (const RuntimeError& failure) {
        StandardFailure(ctx, "22.021", failure, true, false);
    }
}

void TrateazaErorileImprimantei(Context& ctx) {
    using namespace status_bit;
    try {
        ReportEvery(
            ctx, {
                     {kTextPaperOutShort, kPaperOut},
                     {"Adresa sau denumire nevalide!", kInvalidNameOrAddress},
                     {"Cod fiscal nevalid!", kInvalidFiscalCode},
                     {kTextDateTimeLost, kDateTimeLost},
                     {kTextInvalidCommand, kInvalidCommand},
                     {kTextCommandFailed, kCommandFailed},
                     {kTextNotAllowed, kNotAllowedInFiscalMode},
                     {kTextAmountOverflow, kAmountOverflow},
                     {"Cote TVA nevalide!", kInvalidVatRates},
                     {"Cadere de tensiune in timpul ultimei tipariri !", kPowerFailLastPrint},
                     {"Cadere de tensiune in timpul unui bon!", kPowerFailInReceipt},
                     {"Bit rezervat !", kReservedS5},
                     {kTextUnknownCommand, kUnknownCommand},
                     {kTextChecksum, kPrinterSawChecksumError},
                     {kTextSequence, kPrinterSawSequenceError},
                     {"A aparut o eroare la inregistrarea in memoria fiscala !",
                      kFiscalMemoryWriteError},
                     {"Memorie fiscala plina", kFiscalMemoryFull},
                     {"Mai sunt mai putin de 60 de inregistrari in memoria fiscala",
                      kFiscalMemoryNearlyFull},
                     {"Nu exista modulul de memorie fiscala", kNoFiscalMemory},
                     {"Mai sunt putine locatii pentru COTE TVA!", kFewVatSlots},
                     {"Nu mai sunt locatii libere pentru COTE TVA!", kNoVatSlots},
                     {"Imprimanta fiscalizata!", kFiscalized},
                     {"Ultima inchidere fiscala nu s-a finalizat corect!", kLastClosingIncomplete},
                     // Code page 1250: 0xEE is the i with circumflex.
                     {"A aparut cadere de tensiune \xEEn timpul ultimei \xEEnchideri fiscale",
                      kPowerFailLastClosing},
                     {kTextReadOnly, kReadOnly},
                     {"Mai sunt putine locatii pentru RAM RESET (sub 11)!", kFewRamResetSlots},
                     {"Nu mai sunt locatii libere pentru RAM RESET !", kNoRamResetSlots},
                 });
    } catch (const RuntimeError& failure) {
        StandardFailure(ctx, "1.001", failure, true, false);
    }
}

void TrateazaStareImp(Context& ctx) {
    using namespace status_bit;
    try {
        ReportEvery(ctx, {
                             {"Lipsa hartie!  ", kPaperS2_20, kPaperS2_40},
                             {kTextInvalidCommand, kInvalidCommand},
                             {kTextCommandFailed, kCommandFailed},
                             {kTextUnknownCommand, kUnknownCommand},
                             {kTextChecksum, kPrinterSawChecksumError},
                             {kTextSequence, kPrinterSawSequenceError},
                         });
    } catch (const RuntimeError& failure) {
        StandardFailure(ctx, "1.006", failure);
    }
}

void TrateazaStareRaport(Context& ctx) {
    using namespace status_bit;
    try {
        ReportEvery(ctx, {
                             {kTextPaperOutShort, kPaperOut},
                             {kTextDateTimeLost, kDateTimeLost},
                             {kTextInvalidCommand, kInvalidCommand},
                             {kTextCommandFailed, kCommandFailed},
                             {kTextNotAllowed, kNotAllowedInFiscalMode},
                             {kTextAmountOverflow, kAmountOverflow},
                             {kTextUnknownCommand, kUnknownCommand},
                             {kTextChecksum, kPrinterSawChecksumError},
                             {kTextSequence, kPrinterSawSequenceError},
                             {kTextReadOnly, kReadOnly},
                         });
    } catch (const RuntimeError& failure) {
        StandardFailure(ctx, "1.007", failure);
    }
}

}  // namespace veltar
