// What the four service screens share: the plain types a dialog binds to,
// the way their handlers end an unexpected failure, and the small readings
// and encodings of their fields and replies.
//
// A screen is a presenter over a plain form struct: the dialog copies what
// the operator types into the form, calls one function per event, and then
// shows the form again (texts, enabled states, check states) and carries out
// the requests it finds there (focus, a text to view), clearing them.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "command/codes.h"
#include "shell/amount.h"
#include "shell/context.h"
#include "shell/failure.h"

namespace veltar {

// Characters as a key filter receives them, and key codes as key-down
// handlers receive them.
inline constexpr char kBackspaceChar = '\b';
inline constexpr char kEnterChar = '\r';
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

// The control that should get the focus next; `selectAll` asks for its
// whole text to be selected.
template <typename Control>
struct FocusRequest {
    Control control;
    bool selectAll = false;
    friend bool operator==(const FocusRequest&, const FocusRequest&) = default;
};

namespace service_detail {

// What a handler logs when it fails unexpectedly. Every screen shows the
// failure's description in a box (OK, the program's title) first.
enum class FailureLog {
    None,                // the box only
    CodeAlone,           // the location code alone, with the failure's number
    CodeAndDescription,  // the location code followed at once by the description
};

struct FailureRoute {
    std::string code;
    FailureLog log = FailureLog::CodeAlone;
};

// The end of a handler that met an unexpected failure. Above a handler
// there is only the window system, which can do nothing with a failure, so
// a failure of this path itself (the log out of reach, which the log writer
// has already reported in its own box) ends here.
void EndHandler(Context& ctx, const FailureRoute& route, const RuntimeError& failure);

// Runs a handler's body; an unexpected failure ends it through `route`.
// True when the body ran to its end.
template <typename Body>
bool RunHandler(Context& ctx, const FailureRoute& route, Body&& body) {
    try {
        body();
        return true;
    } catch (const RuntimeError& failure) {
        EndHandler(ctx, route, failure);
    } catch (const std::exception& failure) {
        EndHandler(ctx, route, RuntimeError(0, failure.what()));
    }
    return false;
}

// Calls one of the library's dedicated functions and stores its result in
// RezultatComanda. When the library cannot be called at all nothing reached
// the printer: RezultatComanda becomes "no reply" and the failure goes on to
// the handler.
template <typename Call>
int32_t CallLibrary(Context& ctx, Call&& call) {
    try {
        ctx.command.RezultatComanda = call();
    } catch (const RuntimeError&) {
        ctx.command.RezultatComanda = library_result::kNoReply;
        throw;
    }
    return ctx.command.RezultatComanda;
}

// The reply data text: BufRaspuns up to the zero byte that ends the data.
std::string ReplyText(const std::string& buffer);

// The numeric value of a box by the leading-number rule. A number too large
// for an amount is a failure ("Overflow"), never read as 0.
Amount BoxValue(std::string_view text);

// Floor of an amount, as a whole number.
int64_t FloorToInteger(Amount value);

// The printer's two-digit packed form of a date or time value typed into a
// box: tens in the high half, units (rounded) in the low half, a half that
// is not a digit left at zero. A value of 100 or more (a four-digit year)
// keeps its last two digits, so 2012 gives 12h.
uint8_t EncodeDateByte(Amount value);

// Whether `c` is one of `allowed`.
bool OneOf(char c, std::string_view allowed);

}  // namespace service_detail
}  // namespace veltar
