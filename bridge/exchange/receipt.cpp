#include "exchange/receipt.h"

#include <charconv>
#include <optional>
#include <vector>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "command/sale.h"
#include "command/status.h"
#include "exchange/request_files.h"
#include "exchange/sale_record.h"
#include "exchange/sales_file.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr const char* kDayOver24Hours = "Au trecut 24 de ore de la primul bon fiscal. ";
constexpr const char* kNegativeVatTotal =
    "Unul din totalizatoarele de TVA este negativ. Totalul nu se poate executa ! ";
constexpr const char* kNegativeSubtotal = "Subtotal negativ. Totalul nu se poate executa ! ";
constexpr const char* kPaymentModeRefused = "Eroare mod plata";
constexpr const char* kPaymentTooLong =
    " Fct Cash - Pretul este prea mare! Trebuie sa chemati depanatorul ";
constexpr const char* kGiveUpText =
    "Vanzarea nu s-a putut finaliza: imprimanta nu raspunde corect. Vanzarea ramane in "
    "asteptare si se reia la urmatorul ciclu.";

// How many times one run of the sale handler goes back to a state check
// after a failure before it leaves the sale for the next tick, and the pause
// before each of those turns. A printer that refuses at once (paper out, say)
// would otherwise be asked without a pause, and an unattended till, where no
// operator closes the boxes, would spin.
constexpr int kSaleRounds = 30;
constexpr int kRetryPauseMilliseconds = 1000;

// Receipt texts 4 and 5 close the receipt.
constexpr std::size_t kFirstFooterLine = 4;
constexpr std::size_t kLastFooterLine = 5;
constexpr std::size_t kDescriptionLines = 11;

// The fields of a transaction-state reply, split at its commas, up to the
// zero byte that ends the data.
std::vector<std::string> StateFields(const std::string& data) {
    const std::string text = data.substr(0, data.find('\0'));
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) {
            fields.push_back(text.substr(at));
            break;
        }
        fields.push_back(text.substr(at, comma - at));
        at = comma + 1;
    }
    return fields;
}

// The state digit: the first character by the leading-number rule.
int StateDigit(const std::string& data) {
    return static_cast<int>(ReadLeadingNumber(data.substr(0, 1)).roundToInteger());
}

// The number of the open receipt, which a printer may give after the paid
// amount; nothing when it gives none.
std::optional<int32_t> OpenReceiptNumber(const std::string& data) {
    const std::vector<std::string> fields = StateFields(data);
    if (fields.size() < 5) return std::nullopt;
    const std::string field = TrimBlanks(fields[4]);
    int32_t number = 0;
    auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), number);
    if (ec != std::errc() || end != field.data() + field.size() || number <= 0) {
        return std::nullopt;
    }
    return number;
}

// Total and paid amounts after the working text's first comma (the state
// checks before paying, and before selling once the lines are read).
void ReadTotals(ExchangeState& ex, const std::string& working, std::size_t q) {
    ex.SumaBon = ReadLeadingNumber(working.substr(0, q)).roundTo(2);
    ex.SumaAchitata = ReadLeadingNumber(working.substr(q + 1)).roundTo(2);
    ex.RestDePlata = ex.SumaBon - ex.SumaAchitata;
}

void OneUnitWhenNothingIsLeft(ExchangeState& ex) {
    // A receipt whose payments already match its total still needs one
    // payment command to be closed.
    if (ex.RestDePlata == Amount{} && ex.SumaBon != Amount{}) ex.RestDePlata = Amount::fromInt(1);
}

// State 1 before selling: the lines already registered and the totals.
// False when the reply does not hold them (the state is asked again).
bool ReadStateBeforeSelling(ExchangeState& ex, const std::string& data) {
    const std::size_t p = data.find(',', 2);
    if (p == std::string::npos) return false;
    const Amount lines = ReadLeadingNumber(data.substr(2, p - 2));
    const int64_t count = lines.roundToInteger();
    ex.UltimaLinie = count < 0 ? 0 : static_cast<int32_t>(count > INT32_MAX ? INT32_MAX : count);
    const std::string working = data.substr(p + 1);
    const std::size_t q = working.find(',');
    if (q == std::string::npos || q == 0) return false;
    ReadTotals(ex, working, q);
    OneUnitWhenNothingIsLeft(ex);
    return true;
}

// State 1 before paying: the totals when the reply holds them.
void ReadStateBeforePaying(ExchangeState& ex, const std::string& data) {
    const std::size_t p = data.find(',', 2);
    const std::string working = p == std::string::npos ? data : data.substr(p + 1);
    const std::size_t q = working.find(',');
    if (q != std::string::npos && q > 0) ReadTotals(ex, working, q);
    OneUnitWhenNothingIsLeft(ex);
}

Amount EntryNumber(const std::string& text) {
    return ReadLeadingNumber(text);
}

// How many sale commands an entry takes: its quantity cut into portions of
// at most CantitateMaxima; a quantity of 0 takes none.
int64_t PortionsOf(const SaleEntry& entry, int32_t maximum) {
    const int64_t quantity = EntryNumber(entry.quantity).abs().raw;
    const int64_t portion = Amount::fromInt(maximum).raw;
    if (quantity == 0 || portion <= 0) return 0;
    return (quantity + portion - 1) / portion;
}

// Where selling goes on: the entry, and how many of its portions the
// printer already holds.
struct ResumePoint {
    std::size_t entry = 0;
    int64_t portionsDone = 0;
};

// The printer counts sale commands, not entries: a split entry is several
// commands and a quantity 0 entry none, so the count is walked through the
// entries.
ResumePoint ResumeAfter(const std::vector<SaleEntry>& entries, int64_t commands,
                        int32_t maximum) {
    ResumePoint point;
    for (; point.entry < entries.size(); ++point.entry) {
        const int64_t portions = PortionsOf(entries[point.entry], maximum);
        if (commands < portions) {
            point.portionsDone = commands;
            return point;
        }
        commands -= portions;
    }
    return point;
}

struct DayCounters {
    int32_t receipts = 0;
    int32_t zNumber = 0;
};

// The day's closed fiscal receipts and the last day-end report's number
// (command 29); nothing when the printer does not answer with them.
std::optional<DayCounters> ReadDayCounters(Context& ctx) {
    std::string response;
    if (!SendCommand(ctx, 0, command_code::kReadDayCounters, {}, response)) return std::nullopt;
    const std::string& data = ctx.command.BufRaspuns;
    auto byte = [&](std::size_t at) { return static_cast<uint8_t>(data[at]); };
    DayCounters counters;
    counters.receipts = byte(0) * 256 + byte(1);
    counters.zNumber = byte(2) * 256 + byte(3);
    return counters;
}

enum class Judgement {
    Closed,       // the receipt reached the fiscal memory
    Cancelled,    // it did not: print the sale again
    Unreadable,   // the counters did not answer now: ask again
    Undecidable,  // the counters cannot tell (never read, or a day-end report came between)
};

// Whether the record's receipt, no longer open on the printer, was closed:
// the day's count of closed receipts has moved past the one read before it
// opened. This is what the bridge assumes of a printer: only closing a
// receipt counts it, a cancelled one does not, and only a day-end report
// resets the count (and moves the report number on).
Judgement JudgeReceipt(Context& ctx, const SaleRecord& record) {
    if (record.settled == SaleVerdict::Closed) return Judgement::Closed;
    if (record.settled == SaleVerdict::Cancelled) return Judgement::Cancelled;
    if (record.dayReceipts < 0) return Judgement::Undecidable;
    const std::optional<DayCounters> now = ReadDayCounters(ctx);
    if (!now) return Judgement::Unreadable;
    if (now->zNumber != record.zNumber) return Judgement::Undecidable;
    return now->receipts > record.dayReceipts ? Judgement::Closed : Judgement::Cancelled;
}

SaleRecord FreshRecord(const std::string& request) {
    SaleRecord record;
    record.request = request;
    return record;
}

std::string ReceiptLine(int32_t number) {
    // As the sales application reads it: a blank for the sign, the number, a TAB.
    return (number < 0 ? "" : " ") + std::to_string(number) + "\t\r\n";
}

void LogQuietly(Context& ctx, const std::string& text, int32_t number) {
    SkipOnFailure([&] { ScrieLog(ctx, text, number); });
}

// One run of the sale handler after the file is loaded: the numbered steps
// as a small state machine, so that "go to the state check" is a return
// value and every turn back can be paused and counted.
class SaleRun {
public:
    explicit SaleRun(Context& ctx) : ctx_(ctx), ex_(ctx.exchange) {}

    TickFlow run();

private:
    enum class Step {
        StateCheck,
        SaleLines,
        Adjustments,
        PaymentCheck,
        Payments,
        RestCheck,
        RestInCash,
        ClosingLines,
        Close,
        Finish,
        Done,  // the sale is complete: the tick goes on
        EndTick,
        EndProgram,
    };

    Step stateCheck();
    Step startReceipt();
    Step resumeReceipt();
    Step finishClosedElsewhere(Judgement judgement);
    Step saleLines();
    Step adjustments();
    bool settlePendingAdjustment(bool& ok);
    Step paymentCheck(Step onAnswer, Step onRepeat);
    Step payments();
    Step restInCash();
    Step closingLines();
    Step close();
    Step finish();
    Step retry(Step step);
    Step giveUp();

    void save() { SaveSaleRecord(ctx_, record_); }
    void enterPhase(SalePhase phase) {
        if (record_.phase < phase) {
            record_.phase = phase;
            save();
        }
    }

    Context& ctx_;
    ExchangeState& ex_;
    int32_t printer_ = 0;
    SaleRecord record_;
    bool haveRecord_ = false;
    ResumePoint resume_;
    int rounds_ = 0;
};

TickFlow SaleRun::run() {
    const std::optional<std::string> sale = FindRequestFile(ctx_, request_file::kSale);
    const std::string fingerprint =
        RequestFingerprint(sale ? ctx_.services.files.readAll(*sale) : std::string());
    if (std::optional<SaleRecord> stored = LoadSaleRecord(ctx_)) {
        if (stored->request == fingerprint) {
            record_ = *stored;
            haveRecord_ = true;
            if (record_.receipt > 0) ex_.NrBon = record_.receipt;
        } else if (!stored->request.empty()) {
            LogQuietly(ctx_,
                       "Vanzarea din " + std::string(kSaleRecordFile) +
                           " nu este cea din VANZARI.TXT (bonul " +
                           std::to_string(stored->receipt) + "); se trateaza vanzarea noua.",
                       0);
        }
    }
    record_.request = fingerprint;

    Step step = Step::StateCheck;
    for (;;) {
        switch (step) {
            case Step::StateCheck: step = stateCheck(); break;
            case Step::SaleLines: step = saleLines(); break;
            case Step::Adjustments: step = adjustments(); break;
            case Step::PaymentCheck: step = paymentCheck(Step::Payments, Step::PaymentCheck); break;
            case Step::Payments: step = payments(); break;
            case Step::RestCheck: step = paymentCheck(Step::RestInCash, Step::RestCheck); break;
            case Step::RestInCash: step = restInCash(); break;
            case Step::ClosingLines: step = closingLines(); break;
            case Step::Close: step = close(); break;
            case Step::Finish: step = finish(); break;
            case Step::Done: return TickFlow::Continue;
            case Step::EndTick: return TickFlow::EndTick;
            case Step::EndProgram: return TickFlow::EndProgram;
        }
    }
}

SaleRun::Step SaleRun::retry(Step step) {
    if (++rounds_ > kSaleRounds) return giveUp();
    ctx_.services.ui.waitProcessingEvents(kRetryPauseMilliseconds);
    return step;
}

SaleRun::Step SaleRun::giveUp() {
    // The sale stays: VANZARI.TXT and the record are kept, and the next tick
    // takes it up again from the printer's state.
    ScrieErrInFis(ctx_, kGiveUpText);
    ctx_.services.ui.setPollingTimer(true);
    return Step::EndTick;
}

SaleRun::Step SaleRun::stateCheck() {
    std::string response;
    const uint8_t answer = VerificaStareBon(ctx_, response);
    if (answer == receipt_state::kNoAnswer) {
        WriteDisplay(ctx_, response);
        return retry(Step::StateCheck);
    }
    if (answer == receipt_state::kNone) {
        if (IsSet(ctx_.command, status_bit::kDayOlderThan24Hours)) {
            WriteDisplay(ctx_, kDayOver24Hours);
            ctx_.services.ui.showWindow(Window::Main);
            return Step::EndTick;
        }
        if (haveRecord_) {
            // This request's receipt was opened and is no longer open: it was
            // either closed into the fiscal memory or cancelled.
            const Judgement judgement = JudgeReceipt(ctx_, record_);
            if (judgement == Judgement::Unreadable) return retry(Step::StateCheck);
            if (judgement == Judgement::Closed ||
                (judgement == Judgement::Undecidable && record_.phase == SalePhase::Closing)) {
                return finishClosedElsewhere(judgement);
            }
            LogQuietly(ctx_,
                       "Bonul " + std::to_string(record_.receipt) +
                           " nu a ajuns in memoria fiscala; vanzarea se tipareste din nou.",
                       0);
        }
        return startReceipt();
    }
    return resumeReceipt();
}

SaleRun::Step SaleRun::startReceipt() {
    // What the printer counted before this receipt tells later whether it
    // was closed; a printer that cannot say leaves the count unknown.
    const std::optional<DayCounters> counters = ReadDayCounters(ctx_);
    record_ = FreshRecord(record_.request);
    record_.dayReceipts = counters ? counters->receipts : -1;
    record_.zNumber = counters ? counters->zNumber : -1;
    save();
    haveRecord_ = true;

    ex_.UltimaLinie = 0;
    resume_ = {};
    std::string response;
    if (!DeschideBonFiscal(ctx_, printer_, ex_.NrBon, response)) {
        WriteDisplay(ctx_, response);
        return retry(Step::StateCheck);
    }
    record_.phase = SalePhase::Open;
    record_.receipt = ex_.NrBon;
    save();
    TiparesteDescriere(ctx_);
    return Step::SaleLines;
}

SaleRun::Step SaleRun::resumeReceipt() {
    const std::string data = ctx_.command.BufRaspuns;
    if (!haveRecord_) {
        // A receipt this bridge has no record of: carried on as the printer
        // shows it. Its count before closing is the count now, since an open
        // receipt is not counted yet.
        const std::optional<DayCounters> counters = ReadDayCounters(ctx_);
        record_ = FreshRecord(record_.request);
        record_.phase = SalePhase::Open;
        record_.dayReceipts = counters ? counters->receipts : -1;
        record_.zNumber = counters ? counters->zNumber : -1;
        haveRecord_ = true;
        LogQuietly(ctx_, "Bon fiscal deschis gasit la imprimanta; vanzarea continua pe el.", 0);
    }
    if (record_.receipt <= 0) {
        if (const std::optional<int32_t> number = OpenReceiptNumber(data)) {
            record_.receipt = *number;
        }
    }
    if (record_.receipt > 0) ex_.NrBon = record_.receipt;
    if (record_.phase < SalePhase::Open) record_.phase = SalePhase::Open;
    save();

    const int digit = StateDigit(data);
    if (digit == 2) return Step::ClosingLines;
    if (digit == 1) {
        if (!ReadStateBeforeSelling(ex_, data)) return retry(Step::StateCheck);
        resume_ = ResumeAfter(ex_.LiniiVanzare, ex_.UltimaLinie, ex_.CantitateMaxima);
        ex_.UltimaLinie = static_cast<int32_t>(resume_.entry);
        return Step::SaleLines;
    }
    if (digit == 0) {
        if (!IsSet(ctx_.command, status_bit::kFiscalReceiptOpen)) {
            std::string response = kShowBoxes;
            if (DeschideBonFiscal(ctx_, printer_, ex_.NrBon, response)) return Step::SaleLines;
        }
        return retry(Step::StateCheck);
    }
    return Step::SaleLines;
}

SaleRun::Step SaleRun::finishClosedElsewhere(Judgement judgement) {
    const bool known = record_.receipt > 0;
    if (known) ex_.NrBon = record_.receipt;
    const std::string number = known ? std::to_string(record_.receipt) : "necunoscut";
    LogQuietly(ctx_,
               std::string(judgement == Judgement::Closed
                               ? "Bonul fiscal " + number + " era deja in memoria fiscala"
                               : "Bonul fiscal " + number +
                                     " este presupus inchis (contoarele imprimantei nu pot "
                                     "spune)") +
                   "; vanzarea nu se tipareste din nou.",
               0);
    WriteDisplay(ctx_, "Bonul fiscal nr. " + number +
                           " pentru aceasta vanzare a fost deja emis. Verificati hartia: vanzarea "
                           "nu se tipareste din nou.");
    return Step::Finish;
}

SaleRun::Step SaleRun::saleLines() {
    SaleLine& line = ctx_.sale;
    const int32_t maximum = ex_.CantitateMaxima;
    const Amount portion = Amount::fromInt(maximum);
    for (std::size_t i = resume_.entry; i < ex_.LiniiVanzare.size(); ++i) {
        const SaleEntry& entry = ex_.LiniiVanzare[i];
        const int64_t portionsDone = i == resume_.entry ? resume_.portionsDone : 0;
        const Amount quantity = EntryNumber(entry.quantity);
        line.DenumireArticol = entry.name;
        line.LinieNegativa = quantity < Amount{} ? 1 : 0;
        line.PretArticol = EntryNumber(entry.price);
        line.GrupaTVA = entry.group;
        line.ProcentArticol = EntryNumber(entry.percent);
        // The percentage goes with the first portion only.
        line.ProcentActiv = line.ProcentArticol != Amount{} && portionsDone == 0 ? 1 : 0;
        Amount remaining = quantity.abs() - Amount::fromRaw(portion.raw * portionsDone);
        while (remaining > portion) {
            line.CantitateArticol = portion;
            remaining = remaining - portion;
            std::string response;
            if (!VanzareMarfa(ctx_, response)) {
                WriteDisplay(ctx_, response);
                return retry(Step::StateCheck);
            }
        }
        if (remaining > Amount{}) {
            line.CantitateArticol = remaining;
            std::string response = kShowBoxes;
            if (!VanzareMarfa(ctx_, response)) {
                WriteDisplay(ctx_, "");
                return retry(Step::StateCheck);
            }
        }
        resume_ = {i + 1, 0};
        ex_.UltimaLinie = static_cast<int32_t>(i + 1);
    }
    return Step::Adjustments;
}

// A markup or discount sent without a known outcome: the receipt total says
// whether it is on the receipt. False when the state could not be read (the
// caller goes back to the state check).
bool SaleRun::settlePendingAdjustment(bool& applied) {
    applied = false;
    if (record_.adjustmentPending < 0) return true;
    std::string response;
    if (VerificaStareBon(ctx_, response) != receipt_state::kOpen) return false;
    ReadStateBeforePaying(ex_, ctx_.command.BufRaspuns);
    applied = ex_.SumaBon != record_.totalBeforePending;
    record_.adjustmentsDone = record_.adjustmentPending + (applied ? 1 : 0);
    record_.adjustmentPending = -1;
    save();
    return true;
}

SaleRun::Step SaleRun::adjustments() {
    const std::vector<AdjustmentEntry>& entries = ex_.LiniiMajRed;
    bool applied = false;
    if (!settlePendingAdjustment(applied)) return retry(Step::StateCheck);
    for (std::size_t k = static_cast<std::size_t>(record_.adjustmentsDone); k < entries.size();
         ++k) {
        std::string response;
        if (VerificaStareBon(ctx_, response) != receipt_state::kOpen) {
            if (!response.empty()) WriteDisplay(ctx_, response);
            return retry(Step::StateCheck);
        }
        ReadStateBeforePaying(ex_, ctx_.command.BufRaspuns);
        record_.adjustmentPending = static_cast<int32_t>(k);
        record_.totalBeforePending = ex_.SumaBon;
        save();

        response.clear();
        const AdjustmentEntry& entry = entries[k];
        if (fctFunctia75(ctx_, printer_, entry.kind, entry.group, EntryNumber(entry.value),
                         response)) {
            record_.adjustmentsDone = static_cast<int32_t>(k + 1);
            record_.adjustmentPending = -1;
            save();
            continue;
        }
        WriteDisplay(ctx_, response);
        const bool unanswered = IsExchangeFailure(ctx_.command.RezultatComanda);
        if (!settlePendingAdjustment(applied)) return retry(Step::StateCheck);
        if (!applied) {
            // A command lost on the line is sent again; one the printer
            // refused is left out, and the receipt goes on without it.
            if (unanswered) return retry(Step::StateCheck);
            record_.adjustmentsDone = static_cast<int32_t>(k + 1);
            save();
        }
    }
    return ex_.LiniiPlata.empty() ? Step::RestCheck : Step::PaymentCheck;
}

SaleRun::Step SaleRun::paymentCheck(Step onAnswer, Step onRepeat) {
    enterPhase(SalePhase::Paying);
    std::string response;
    switch (VerificareStareImprimantaVinzare(ctx_, printer_, response)) {
        case sale_state::kQueryFailed:
            WriteDisplay(ctx_, response);
            return retry(onRepeat);
        case sale_state::kReceiptLost:
            WriteDisplay(ctx_, response);
            return retry(Step::StateCheck);
        default:
            break;
    }
    const std::string& data = ctx_.command.BufRaspuns;
    switch (StateDigit(data)) {
        case 2: return Step::ClosingLines;
        case 1: ReadStateBeforePaying(ex_, data); return onAnswer;
        case 0: return retry(Step::StateCheck);
        default: return onAnswer;
    }
}

SaleRun::Step SaleRun::payments() {
    Amount paidSoFar;
    for (const PaymentEntry& entry : ex_.LiniiPlata) {
        const Amount amount = EntryNumber(entry.amount);
        paidSoFar = paidSoFar + amount;
        // What the printer already holds is not paid twice.
        if (paidSoFar <= ex_.SumaAchitata || amount <= Amount{}) continue;
        std::string response;
        const int result = PlataTotal(ctx_, entry.mode, amount, response);
        if (result == payment_result::kCannotTotal) {
            WriteDisplay(ctx_, response);
            EndProgram(ctx_);
            return Step::EndProgram;
        }
        if (result == payment_result::kPaidInFull) return Step::ClosingLines;
        if (result == payment_result::kMoreToPay) continue;
        WriteDisplay(ctx_, response);
        return retry(Step::PaymentCheck);
    }
    return Step::RestCheck;
}

SaleRun::Step SaleRun::restInCash() {
    std::string response;
    const int result = PlataTotal(ctx_, "C", ex_.RestDePlata, response);
    if (result == payment_result::kCannotTotal) {
        WriteDisplay(ctx_, response);
        EndProgram(ctx_);
        return Step::EndProgram;
    }
    if (result == payment_result::kPaidInFull) return Step::ClosingLines;
    WriteDisplay(ctx_, response);
    return retry(Step::RestCheck);
}

SaleRun::Step SaleRun::closingLines() {
    enterPhase(SalePhase::Closing);
    for (std::size_t i = kFirstFooterLine; i <= kLastFooterLine; ++i) {
        const std::string& text = ctx_.LiniiHeaderFooter[i];
        if (TrimBlanks(text).empty()) continue;
        std::string response;
        SendCommand(ctx_, printer_, command_code::kPrintLine, FitToWidth(text, kTextLineWidth),
                    response);
    }
    return Step::Close;
}

SaleRun::Step SaleRun::close() {
    // From here a failing step is skipped; closing, the box and the counter
    // query catch their own failures.
    std::string response;
    if (!fctFunctia11(ctx_, printer_, response)) {
        WriteDisplay(ctx_, response);
        return retry(Step::StateCheck);
    }
    // The printer says no receipt is open. A receipt lost under the close (a
    // power failure that cancelled it) would pass for closed; the counter
    // tells them apart.
    if (JudgeReceipt(ctx_, record_) == Judgement::Cancelled) {
        LogQuietly(ctx_,
                   "Bonul " + std::to_string(record_.receipt) +
                       " a fost anulat de imprimanta; vanzarea se tipareste din nou.",
                   0);
        return retry(Step::StateCheck);
    }
    return Step::Finish;
}

SaleRun::Step SaleRun::finish() {
    // The answer first, then the request: when VANZARI.TXT disappears BON.TXT
    // is already complete. The record goes last, so a stop in between finds
    // the receipt closed instead of printing it again.
    if (record_.receipt <= 0) {
        LogQuietly(ctx_,
                   "Numarul bonului nu este cunoscut de la imprimanta; BON.TXT primeste " +
                       std::to_string(ex_.NrBon) + ", care poate fi gresit.",
                   0);
    }
    try {
        ReplaceResponseFile(ctx_, response_file::kReceiptNumber, ReceiptLine(ex_.NrBon));
    } catch (const RuntimeError& failure) {
        // Without its answer the sale is not finished for the sales
        // application: the request stays, and the next tick answers it
        // without printing.
        LogQuietly(ctx_, "BON.TXT nu a putut fi scris: " + failure.description(),
                   failure.number());
        ScrieErrInFis(ctx_, "BON.TXT nu a putut fi scris: " + failure.description());
        record_.settled = SaleVerdict::Closed;
        SkipOnFailure([&] { save(); });
        ctx_.services.ui.setPollingTimer(true);
        return Step::EndTick;
    }
    bool requestGone = false;
    SkipOnFailure([&] {
        DeleteIfPresent(ctx_, request_file::kSale);
        requestGone = !FindRequestFile(ctx_, request_file::kSale);
    });
    for (const char* name : {request_file::kDescription, request_file::kDescriptionShort}) {
        SkipOnFailure([&] { DeleteIfPresent(ctx_, name); });
    }
    if (requestGone) {
        RemoveSaleRecord(ctx_);
    } else {
        record_.settled = SaleVerdict::Closed;
        SkipOnFailure([&] { save(); });
    }
    ctx_.services.ui.setPollingTimer(true);
    return Step::Done;
}

}  // namespace

TickFlow HandleSale(Context& ctx) {
    WindowServices& ui = ctx.services.ui;
    ExchangeState& ex = ctx.exchange;
    ui.setPollingTimer(false);
    {
        std::string response;
        SendCommand(ctx, 0, command_code::kOpenDrawer, {}, response);
    }
    ex.SumaBon = ex.SumaAchitata = ex.RestDePlata = Amount{};
    const uint8_t loaded = IncarcaFisierVanzari(ctx);
    if (loaded == load_result::kStructureError) {
        EndProgram(ctx);
        return TickFlow::EndProgram;
    }
    if (loaded == load_result::kEmpty) {
        ui.setPollingTimer(true);
        return TickFlow::EndTick;
    }
    ex.UltimaLinie = 0;
    return SaleRun(ctx).run();
}

uint8_t VerificaStareBon(Context& ctx, std::string& response) {
    uint8_t result = receipt_state::kNoAnswer;
    try {
        if (SendCommand(ctx, 0, command_code::kTransactionState, {}, response)) {
            result = IsSet(ctx.command, status_bit::kFiscalReceiptOpen) ? receipt_state::kOpen
                                                                         : receipt_state::kNone;
        }
    } catch (const RuntimeError& failure) {
        const DateTime now = ctx.services.clock.now();
        LogQuietly(ctx,
                   "VerificaStareBon: " + failure.description() + " " + FormatShortDate(now) +
                       "/" + FormatLongTime(now),
                   failure.number());
    }
    return result;
}

int PlataTotal(Context& ctx, const std::string& mode, Amount amount, std::string& response) {
    CommandState& state = ctx.command;
    try {
        ResetBuffers(state);
        const std::string payment = mode + FormatGeneral(amount);
        state.RezultatComanda = ctx.services.kordal.CalculTotal(
            ctx.settings.ComPort, "", payment.c_str(), state.BufRaspuns.data(),
            state.BufStare.data());
        const int32_t result = state.RezultatComanda;
        if (result == library_result::kOk) {
            int32_t printer = 0;
            if (!JudgeAcceptedReply(ctx, printer, response)) return payment_result::kFailure;
            TrateazaStareImp(ctx);
            std::string reply = state.BufRaspuns;
            reply.erase(reply.find_last_not_of(' ') + 1);
            const char first = reply.empty() ? '\0' : reply[0];
            switch (first) {
                case 'I': response = kNegativeVatTotal; return payment_result::kCannotTotal;
                case 'E': response = kNegativeSubtotal; return payment_result::kCannotTotal;
                case 'D': {
                    ExchangeState& ex = ctx.exchange;
                    ex.RestDePlata = ReadLeadingNumber(reply.size() > 2 ? reply.substr(2) : "");
                    ex.SumaAchitata = ex.SumaBon - ex.RestDePlata;
                    return payment_result::kMoreToPay;
                }
                case 'R': return payment_result::kPaidInFull;
                default: return payment_result::kFailure;
            }
        }
        if (IsExchangeFailure(result)) {
            ReportProblem(ctx, response, state.MesajeRezultat[static_cast<std::size_t>(result)],
                          kProgramTitle, Icon::Error);
        } else if (result == library_result::kArgMissing) {
            ReportProblem(ctx, response, kPaymentModeRefused, kProgramTitle, Icon::Error);
        } else if (result == library_result::kArgTooLong) {
            ReportProblem(ctx, response, kPaymentTooLong, kProgramTitle, Icon::Error);
        }
    } catch (const RuntimeError&) {
    }
    return payment_result::kFailure;
}

void TiparesteDescriere(Context& ctx) {
    try {
        std::optional<std::string> found = FindRequestFile(ctx, request_file::kDescription);
        if (!found) found = FindRequestFile(ctx, request_file::kDescriptionShort);
        if (!found) return;
        std::vector<std::string> lines = ctx.services.files.readLines(*found);
        if (lines.size() > kDescriptionLines) lines.resize(kDescriptionLines);
        for (const std::string& line : lines) {
            CommandState& state = ctx.command;
            state.BufStare.assign(CommandState::kStatusSize, ' ');
            std::string response;
            SendCommand(ctx, 0, command_code::kPrintLine, FitToWidth(line, kTextLineWidth),
                        response);
        }
    } catch (const RuntimeError& failure) {
        StandardFailure(ctx, "TiparesteDescriere: ", failure);
    }
}

void SettlePendingSale(Context& ctx) {
    try {
        std::optional<SaleRecord> record = LoadSaleRecord(ctx);
        if (!record || record->request.empty() || record->settled != SaleVerdict::Unknown) return;
        std::string response;
        if (VerificaStareBon(ctx, response) != receipt_state::kNone) return;
        const Judgement judgement = JudgeReceipt(ctx, *record);
        if (judgement == Judgement::Closed) record->settled = SaleVerdict::Closed;
        else if (judgement == Judgement::Cancelled) record->settled = SaleVerdict::Cancelled;
        else return;
        SaveSaleRecord(ctx, *record);
    } catch (const RuntimeError& failure) {
        LogQuietly(ctx, "SettlePendingSale: " + failure.description(), failure.number());
    }
}

}  // namespace veltar
