#include "service/printer_utilities.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/status.h"
#include "exchange/request_files.h"
#include "shell/settings.h"
#include "shell/windows/main_window.h"

namespace veltar {

using service_detail::BoxValue;
using service_detail::CallLibrary;
using service_detail::EncodeDateByte;
using service_detail::FailureLog;
using service_detail::FailureRoute;
using service_detail::OneOf;
using service_detail::ReplyText;
using service_detail::RunHandler;

namespace {

constexpr const char* kNoFileText = "Fisierul GENERALE.TXT nu exista";
constexpr const char* kSavedText = "Datele au fost salvate";
constexpr const char* kClockTitle = "VELTAR 2000 Manager";
constexpr const char* kNoReplyText = "Lipsa comunicatie cu imprimanta";
constexpr const char* kPosKey = "NRPOS";

// A GENERALE.TXT that ends before its fifth line is read past its end.
constexpr int kInputPastEndOfFile = 62;

// The clock's limits: 24 and 60 themselves pass, the printer judges them.
constexpr int kMaxHour = 24;
constexpr int kMaxMinuteOrSecond = 60;
constexpr int kMaxPosNumber = 255;

FailureRoute CodeAlone(const char* code) { return FailureRoute{code, FailureLog::CodeAlone}; }
const FailureRoute kEnterKeyRoute{"", FailureLog::None};

void Show(Context& ctx, const char* text, const char* title, Icon icon) {
    ctx.services.ui.messageBox(text, title, icon, Buttons::Ok);
}

// A reply's byte of two decimal digits as the printer sends them, each half
// written as its number.
std::string Halves(char byte) {
    const auto b = static_cast<uint8_t>(byte);
    return std::to_string(b >> 4) + std::to_string(b & 0x0F);
}

bool StartsNegative(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first != std::string::npos && text[first] == '-';
}

// The POS number of the box: 1 for nothing, 0 or a number above 255 (the
// box then shows "1"); otherwise the number rounded, halves to even. A number
// that rounds below 0 is a failure.
uint8_t PosNumber(std::string& box) {
    bool fits = true;
    const Amount value = ReadLeadingNumber(box, &fits);
    if (!fits) {
        // Too many digits to read: far below 0, or far above 255.
        if (StartsNegative(box)) ThrowAmountOverflow();
        box = "1";
        return 1;
    }
    if (value == Amount{} || value > Amount::fromInt(kMaxPosNumber)) {
        box = "1";
        return 1;
    }
    const int64_t rounded = value.roundToInteger();
    if (rounded < 0) ThrowAmountOverflow();
    return static_cast<uint8_t>(rounded);
}

}  // namespace

void UtilitareImprimanta::Load() {
    RunHandler(ctx_, CodeAlone("22.005"), [&] {
        form_ = PrinterUtilitiesForm{};
        form_.NumarPOS = std::to_string(ctx_.settings.NRPOS);
        // Only the exact name counts, as for the main window, which prints
        // these lines.
        const std::optional<std::string> found = ctx_.services.files.findFile(kHeaderFooterFile);
        if (!found || *found != kHeaderFooterFile) {
            Show(ctx_, kNoFileText, kTitleVeltarSpaced, Icon::Information);
            return;
        }
        // The whole file is read at once, so nothing stays open whatever
        // follows; the boxes without a line stay empty.
        const std::vector<std::string> lines = ctx_.services.files.readLines(*found);
        for (std::size_t k = 0; k < kHeaderFooterLineCount && k < lines.size(); ++k) {
            form_.lines[k] = lines[k];
        }
        if (lines.size() < kHeaderFooterLineCount) {
            throw RuntimeError(kInputPastEndOfFile, "Input past end of file");
        }
    });
}

bool UtilitareImprimanta::LineKeyPress(std::size_t line, char typed) {
    bool keep = true;
    RunHandler(ctx_, CodeAlone("8.005"), [&] {
        if (typed != kEnterChar) return;
        keep = false;
        ctx_.LiniiHeaderFooter.at(line + 1) = FitToWidth(form_.lines.at(line), kTextLineWidth);
        static constexpr FocusRequest<UtilitiesControl> kNext[] = {
            {UtilitiesControl::Header2, true}, {UtilitiesControl::Header3, true},
            {UtilitiesControl::Footer1, false}, {UtilitiesControl::Footer2, true},
            {UtilitiesControl::Scrie, false}};
        form_.focus = kNext[line];
    });
    return keep;
}

void UtilitareImprimanta::ScrieClick() {
    RunHandler(ctx_, CodeAlone("NUMAR"), [&] {
        std::string content;
        for (const std::string& line : form_.lines) content += line + "\r\n";
        // Replaced in one step: a failure leaves the old file, and the
        // receipt texts are changed only once the file holds them.
        ctx_.services.files.replace(kHeaderFooterFile, content);
        for (std::size_t k = 0; k < kHeaderFooterLineCount; ++k) {
            ctx_.LiniiHeaderFooter[k + 1] = FitToWidth(form_.lines[k], kTextLineWidth);
        }
        Show(ctx_, kSavedText, kTitleVeltarSpaced, Icon::Information);
    });
}

void UtilitareImprimanta::CitesteDataOraClick() {
    RunHandler(ctx_, CodeAlone("22.001"), [&] {
        if (TrimiteComandaImp(ctx_, {}, command_code::kReadDateTime) != imp_result::kAccepted) {
            return;
        }
        // Second, minute, hour, day, month, year.
        const std::string& r = ctx_.command.BufRaspuns;
        form_.DataOra = Halves(r.at(2)) + ":" + Halves(r.at(1)) + ":" + Halves(r.at(0)) + " " +
                        Halves(r.at(3)) + "\\" + Halves(r.at(4)) + "\\" + Halves(r.at(5));
        RefreshStatus(ctx_.command);
        TrateazaErorileImprimantei(ctx_);
    });
}

void UtilitareImprimanta::ScrieDataOraButClick() {
    RunHandler(ctx_, CodeAlone("22.012"), [&] {
        const struct {
            std::size_t box;
            int limit;
            const char* text;
        } checks[] = {
            {ora::kHour, kMaxHour, "Ora incorecta"},
            {ora::kMinute, kMaxMinuteOrSecond, "Date pentru minute incorecte !"},
            {ora::kSecond, kMaxMinuteOrSecond, "Date pentru secunde incorecte !"},
        };
        for (const auto& check : checks) {
            if (BoxValue(form_.Ora[check.box]) > Amount::fromInt(check.limit)) {
                Show(ctx_, check.text, kClockTitle, Icon::Error);
                return;
            }
        }

        // Second, minute, hour, day, month, year.
        std::array<unsigned char, ora::kCount> payload{};
        for (std::size_t k = 0; k < ora::kCount; ++k) {
            payload[k] = EncodeDateByte(BoxValue(form_.Ora[k]));
        }
        CommandState& state = ctx_.command;
        ResetBuffers(state);
        const int32_t result = CallLibrary(ctx_, [&] {
            return ctx_.services.kordal.ScrieDataOra(ctx_.settings.ComPort, payload.data(),
                                                     state.BufRaspuns.data(),
                                                     state.BufStare.data());
        });
        if (result == library_result::kOk) {
            RefreshStatus(state);
            TrateazaErorileImprimantei(ctx_);
        } else if (result == library_result::kNoReply) {
            Show(ctx_, kNoReplyText, kTitleVeltarSpaced, Icon::Error);
        }
        TrimiteComandaImp(ctx_, {}, command_code::kAfterDateTime);
    });
}

bool UtilitareImprimanta::OraKeyPress(std::size_t /*index*/, char typed) {
    bool keep = false;
    RunHandler(ctx_, CodeAlone("22.011"),
               [&] { keep = typed == kBackspaceChar || OneOf(typed, "1234567890"); });
    return keep;
}

void UtilitareImprimanta::OraKeyDown(std::size_t index, int keyCode) {
    RunHandler(ctx_, kEnterKeyRoute, [&] {
        if (keyCode != kKeyEnter || index >= ora::kCount) return;
        // Hour, minute, second, then day, month, year, as the boxes stand on screen.
        static constexpr UtilitiesControl kNext[ora::kCount] = {
            UtilitiesControl::Ora3,  // from the second
            UtilitiesControl::Ora0,  // from the minute
            UtilitiesControl::Ora1,  // from the hour
            UtilitiesControl::Ora4,
            UtilitiesControl::Ora5,
            UtilitiesControl::ScrieDataOraBut,
        };
        form_.focus = FocusRequest<UtilitiesControl>{kNext[index]};
    });
}

void UtilitareImprimanta::ScrieNrPOSBUTClick() {
    RunHandler(ctx_, CodeAlone("22.018"), [&] {
        const uint8_t pos = PosNumber(form_.NumarPOS);
        ctx_.settings.NRPOS = pos;
        ScrieIni(ctx_, kConfSection, kPosKey, std::to_string(pos));
        CommandState& state = ctx_.command;
        state.CodComanda = command_code::kWritePosNumber;
        // A text payload cannot carry a zero byte: POS number 0 goes as an
        // empty payload.
        state.ParametriComanda = pos == 0 ? std::string() : std::string(1, static_cast<char>(pos));
        if (TrimiteComandaImp(ctx_, state.ParametriComanda, state.CodComanda) ==
            imp_result::kAccepted) {
            TrateazaEroriImp(ctx_);
        }
    });
}

void UtilitareImprimanta::StareButClick() {
    RunHandler(ctx_, CodeAlone("22.019"), [&] {
        if (TrimiteComandaImp(ctx_, {}, command_code::kPrinterStatus) != imp_result::kAccepted) {
            return;
        }
        CommandState& state = ctx_.command;
        RefreshStatus(state);
        std::string shown;
        for (std::size_t k = 0; k < 8; ++k) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(state.OctetiStare[k]));
            shown += hex;
        }
        form_.StareImp = shown;
        TrateazaErorileImprimantei(ctx_);
    });
}

void UtilitareImprimanta::StareTranzClick() {
    RunHandler(ctx_, CodeAlone("22.020"), [&] {
        if (TrimiteComandaImp(ctx_, {}, command_code::kTransactionState) !=
            imp_result::kAccepted) {
            return;
        }
        form_.StareTranzactie = ReplyText(ctx_.command.BufRaspuns);
        RefreshStatus(ctx_.command);
        TrateazaErorileImprimantei(ctx_);
    });
}

void UtilitareImprimanta::ExitButClick() {
    RunHandler(ctx_, CodeAlone("22.002"), [&] {
        ctx_.VerificareLaActivare = true;
        ctx_.services.ui.showWindow(Window::Main);
        ctx_.services.ui.closeWindow(Window::PrinterUtilities);
    });
}

}  // namespace veltar
