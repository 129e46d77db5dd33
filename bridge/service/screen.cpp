#include "service/screen.h"

#include "shell/log.h"

namespace veltar::service_detail {

void EndHandler(Context& ctx, const FailureRoute& route, const RuntimeError& failure) {
    try {
        if (route.log == FailureLog::None) {
            ctx.services.ui.messageBox(failure.description(), kProgramTitle, Icon::None,
                                       Buttons::Ok);
        } else {
            StandardFailure(ctx, route.code, failure, true,
                            route.log == FailureLog::CodeAndDescription);
        }
    } catch (const std::exception&) {
    }
}

std::string ReplyText(const std::string& buffer) {
    return buffer.substr(0, buffer.find('\0'));
}

Amount BoxValue(std::string_view text) {
    bool fits = true;
    const Amount value = ReadLeadingNumber(text, &fits);
    if (!fits) ThrowAmountOverflow();
    return value;
}

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if (a % b != 0 && (a < 0) != (b < 0)) --q;
    return q;
}

}  // namespace

int64_t FloorToInteger(Amount value) { return FloorDiv(value.raw, Amount::kScale); }

uint8_t EncodeDateByte(Amount value) {
    constexpr int64_t kHundred = 100 * Amount::kScale;
    if (value.raw >= kHundred) value = Amount::fromRaw(value.raw % kHundred);
    // tens = the whole part of value / 10; units = (value / 10 - tens) x 10, rounded.
    const int64_t tens = FloorDiv(value.raw, 10 * Amount::kScale);
    const int64_t units = (value - Amount::fromInt(tens * 10)).roundToInteger();
    const int64_t high = tens >= 0 && tens <= 9 ? tens * 16 : 0;
    const int64_t low = units >= 0 && units <= 9 ? units : 0;
    return static_cast<uint8_t>(high + low);
}

bool OneOf(char c, std::string_view allowed) {
    return allowed.find(c) != std::string_view::npos;
}

}  // namespace veltar::service_detail
