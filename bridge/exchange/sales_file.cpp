#include "exchange/sales_file.h"

#include <optional>
#include <string_view>
#include <vector>

#include "command/codes.h"
#include "command/queries.h"
#include "exchange/request_files.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr char kTab = '\t';
constexpr char kPaymentBell = '\x07';

constexpr std::size_t kSaleFieldsNeeded = 5;     // name, quantity, price, group, each with its TAB
constexpr std::size_t kFieldsWithPercent = 6;    // the percentage only counts with its own TAB
constexpr std::size_t kFirstPaymentPair = 2;     // "$", a separator, then the pairs

constexpr Amount kPercentLimit = Amount::fromRaw(999900);  // 99.99
constexpr Amount kPercentFloor = Amount::fromInt(-100);
// The printer's price, value and payment fields hold four bytes; the library
// refuses anything larger, and a sale that kept asking would never end.
constexpr Amount kPrinterFieldLimit = Amount::fromInt(int64_t{1} << 32);

constexpr const char* kSaleLineStructureText =
    "Erori de structura (delimitatorul 09h) la fisierul VANZARI.TXT !!. Vanzarea nu se poate "
    "efectua!\r\n\r\nOpriti si apoi reporniti imprimanta pentru a anula bonul curent apoi "
    "reporniti programul VELTAR 2000.";
constexpr const char* kPaymentTabText =
    "                                              A T  E  N  T  I  E ! \r\n\r\nFisierul "
    "Vanzari.txt a fost generat cu erori de structura. Nu exista caracterul 09h la sfarsitul "
    "liniei cu modul de plata! ";
constexpr const char* kPaymentModeText =
    "Fisierul Vanzari.txt a fost generat cu erori de structura la modul de plata ! \r\n\r\n"
    "            Corectati eroarea si reporniti programul si imprimanta !";
constexpr const char* kAdjustmentKindLog = "Strucura Vanzari eronata la MajRed Subtotal!";

std::string TooLargeText(std::size_t lineNumber) {
    return "Fisierul VANZARI.TXT contine o valoare prea mare pentru imprimanta (linia " +
           std::to_string(lineNumber) +
           "). Vanzarea nu se poate efectua!\r\n\r\nCorectati fisierul VANZARI.TXT si reporniti "
           "programul VELTAR 2000.";
}

// A number of the line that the printer could never take; the loading stops
// at it with a message of its own.
struct TooLarge {};

enum class LineKind { Sale, Adjustment, Payment, End };

LineKind KindOf(const std::string& line) {
    if (line.empty()) return LineKind::End;
    if (line[0] == '$' || line[0] == kPaymentBell) return LineKind::Payment;
    if (line.size() >= 2 && line[0] == '%' && line[1] == kTab) return LineKind::Adjustment;
    return LineKind::Sale;
}

std::vector<std::string> SplitAtTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find(kTab, start);
        if (tab == std::string::npos) {
            fields.push_back(TrimBlanks(std::string_view(line).substr(start)));
            return fields;
        }
        fields.push_back(TrimBlanks(std::string_view(line).substr(start, tab - start)));
        start = tab + 1;
    }
}

// A number of the sales file in the regional format. A text that is not a
// number reads as 0; one too large for an Amount is TooLarge.
Amount ReadFileNumber(Context& ctx, std::string_view text) {
    try {
        return ReadRegionalNumber(text, ctx.regional);
    } catch (const RuntimeError& failure) {
        if (failure.number() == error_number::kOverflow) throw TooLarge{};
        return Amount{};
    }
}

// The whole computation of one line's numbers: Amount overflow anywhere in
// it means the number cannot reach the printer either.
template <typename Compute>
auto Checked(Compute compute) {
    try {
        return compute();
    } catch (const RuntimeError& failure) {
        if (failure.number() == error_number::kOverflow) throw TooLarge{};
        throw;
    }
}

bool FitsPrinterField(Amount value) { return value.abs() < kPrinterFieldLimit; }

// The value the printer forms for one sale command: the largest portion the
// receipt sends (at most CantitateMaxima) times the unit price. Compared
// exactly, before any rounding, in 128 bits.
bool PortionValueFits(Context& ctx, Amount quantity, Amount price) {
    Amount portion = quantity.abs();
    const Amount largest = Amount::fromInt(ctx.exchange.CantitateMaxima);
    if (largest.raw > 0 && portion > largest) portion = largest;
    const __int128 value = static_cast<__int128>(portion.raw) * price.abs().raw;
    const __int128 limit = static_cast<__int128>(kPrinterFieldLimit.raw) * Amount::kScale;
    return value < limit;
}

// The line's own markup or discount; anything outside -99.99 to 99.99, a
// number too large to read included, means none.
Amount ReadLinePercent(Context& ctx, std::string_view text) {
    try {
        const Amount percent = ReadFileNumber(ctx, text).roundTo(2);
        if (percent <= kPercentLimit && percent >= -kPercentLimit) return percent;
    } catch (const TooLarge&) {
    } catch (const RuntimeError&) {
    }
    return Amount{};
}

SaleEntry ReadSaleLine(Context& ctx, const std::vector<std::string>& fields) {
    return Checked([&] {
        SaleEntry entry;
        entry.name = fields[0];
        const Amount quantity = ReadFileNumber(ctx, fields[1]).roundTo(3);
        const Amount price = ReadFileNumber(ctx, fields[2]).roundTo(3) * ctx.settings.Multiplu;
        if (!FitsPrinterField(price) || !PortionValueFits(ctx, quantity, price)) {
            throw TooLarge{};
        }
        entry.quantity = FormatGeneral(quantity);
        entry.price = FormatGeneral(price);
        entry.group = fields[3];
        entry.percent = FormatGeneral(
            fields.size() >= kFieldsWithPercent ? ReadLinePercent(ctx, fields[4]) : Amount{});
        return entry;
    });
}

std::optional<AdjustmentEntry> ReadAdjustmentLine(const std::vector<std::string>& fields) {
    auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    AdjustmentEntry entry;
    entry.kind = field(1);
    if (entry.kind != "," && entry.kind != ":") return std::nullopt;
    entry.value = field(2);
    if (entry.kind == ",") {
        bool fits = true;
        const Amount percent = ReadLeadingNumber(entry.value, &fits);
        // A value too large to read is below -100 all the same when it is negative.
        const bool negative = !entry.value.empty() && entry.value.front() == '-';
        if (fits ? percent < kPercentFloor : negative) entry.value = "-100";
    }
    const std::string group = field(3);
    if (group == "E") {
        entry.group = " ";
    } else if (group == "A" || group == "B" || group == "C" || group == "D") {
        entry.group = group;
    } else {
        entry.group = "A";
    }
    return entry;
}

bool IsPaymentMode(const std::string& mode) {
    return mode == "C" || mode == "A" || mode == "E" || mode == "N";
}

Amount ReadPaymentAmount(Context& ctx, std::string_view text) {
    return Checked([&] {
        const Amount amount = Amount::fromInt(
            (ReadFileNumber(ctx, text).roundTo(2) * ctx.settings.Multiplu).roundToInteger());
        if (!FitsPrinterField(amount)) throw TooLarge{};
        return amount;
    });
}

void Skipping(Context& ctx, auto step) {
    try {
        step();
    } catch (const RuntimeError& failure) {
        try {
            ScrieLog(ctx, "IncarcaFisierVanzari: " + failure.description(), failure.number());
        } catch (const RuntimeError&) {
        }
    }
}

uint8_t StructureError(Context& ctx) {
    ctx.exchange.LiniiVanzare.clear();
    ctx.exchange.LiniiMajRed.clear();
    ctx.exchange.LiniiPlata.clear();
    return load_result::kStructureError;
}

// The pairs of the payment line, mode TAB amount TAB, from its third
// character on.
uint8_t ReadPayments(Context& ctx, const std::string& line, std::size_t lineNumber) {
    std::size_t position = kFirstPaymentPair;
    while (position + 1 < line.size()) {
        const std::size_t modeTab = line.find(kTab, position);
        const std::size_t amountTab =
            modeTab == std::string::npos ? std::string::npos : line.find(kTab, modeTab + 1);
        if (amountTab == std::string::npos) {
            Skipping(ctx, [&] {
                ctx.services.ui.messageBox(kPaymentTabText, kTitleVeltarSpaced, Icon::Error,
                                           Buttons::Ok);
            });
            return StructureError(ctx);
        }
        const std::string mode = UpperCase(line.substr(position, modeTab - position));
        const std::string_view amountText =
            std::string_view(line).substr(modeTab + 1, amountTab - modeTab - 1);
        position = amountTab + 1;
        if (!IsPaymentMode(mode)) {
            WriteDisplay(ctx, kPaymentModeText);
            return StructureError(ctx);
        }
        try {
            ctx.exchange.LiniiPlata.push_back(
                {mode, FormatGeneral(ReadPaymentAmount(ctx, amountText))});
        } catch (const TooLarge&) {
            WriteDisplay(ctx, TooLargeText(lineNumber));
            return StructureError(ctx);
        }
    }
    return load_result::kLoaded;
}

}  // namespace

uint8_t IncarcaFisierVanzari(Context& ctx) {
    ExchangeState& state = ctx.exchange;
    state.LiniiVanzare.clear();
    state.LiniiMajRed.clear();
    state.LiniiPlata.clear();

    // A file that cannot be read at all is not an empty one: the failure goes
    // to the tick, and the sale stays in the directory for the next try.
    const std::string name =
        FindRequestFile(ctx, request_file::kSale).value_or(request_file::kSale);
    const std::vector<std::string> lines = ctx.services.files.readLines(name);

    if (lines.empty() || lines.front().empty()) {
        Skipping(ctx, [&] { ctx.services.files.remove(name); });
        return load_result::kEmpty;
    }

    std::size_t held = lines.size();  // the payment or empty line that ended the data
    for (std::size_t i = 0; i < lines.size() && held == lines.size(); ++i) {
        const std::string& line = lines[i];
        switch (KindOf(line)) {
            case LineKind::Sale: {
                const std::vector<std::string> fields = SplitAtTabs(line);
                if (fields.size() < kSaleFieldsNeeded) {
                    WriteDisplay(ctx, kSaleLineStructureText);
                    return StructureError(ctx);
                }
                try {
                    state.LiniiVanzare.push_back(ReadSaleLine(ctx, fields));
                } catch (const TooLarge&) {
                    WriteDisplay(ctx, TooLargeText(i + 1));
                    return StructureError(ctx);
                }
                break;
            }
            case LineKind::Adjustment:
                if (std::optional<AdjustmentEntry> entry = ReadAdjustmentLine(SplitAtTabs(line))) {
                    state.LiniiMajRed.push_back(*entry);
                } else {
                    Skipping(ctx, [&] { ScrieLog(ctx, kAdjustmentKindLog, 0); });
                }
                break;
            case LineKind::Payment:
            case LineKind::End:
                held = i;
                break;
        }
    }

    if (held < lines.size() && KindOf(lines[held]) == LineKind::Payment) {
        return ReadPayments(ctx, lines[held], held + 1);
    }
    return load_result::kLoaded;
}

}  // namespace veltar
