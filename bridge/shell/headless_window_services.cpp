#include "headless_window_services.h"

#include "failure.h"
#include "log.h"
#include "text_codec.h"

namespace veltar {

namespace {

constexpr const char* kPollingOffText =
    "Interogarea fisierelor este oprita si fara ecran nu o poate porni nimeni: programul se "
    "inchide.";

}  // namespace

HeadlessWindowServices::HeadlessWindowServices(Clock& clock, std::ostream& errors)
    : clock_(clock), errors_(errors) {}

Answer HeadlessWindowServices::messageBox(const std::string& text, const std::string& title,
                                          Icon, Buttons buttons) {
    const std::string shown = (title.empty() ? std::string(kProgramTitle) : title) + ": " + text;
    errors_ << Cp1250ToUtf8(shown) << std::endl;
    // A log line is one line: the box's own line breaks become blanks.
    std::string line = shown;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    log(line);
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

void HeadlessWindowServices::waitProcessingEvents(int milliseconds) {
    clock_.sleepMilliseconds(milliseconds);
}

bool HeadlessWindowServices::run(const std::function<void()>& onTimer) {
    for (;;) {
        if (quitRequested_) return true;
        if (!timerOn_) {
            errors_ << Cp1250ToUtf8(kPollingOffText) << std::endl;
            log(kPollingOffText);
            return false;
        }
        clock_.sleepMilliseconds(kPollingIntervalMilliseconds);
        onTimer();
    }
}

void HeadlessWindowServices::log(const std::string& text) {
    if (ctx_ == nullptr || logging_) return;
    logging_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{logging_};
    try {
        ScrieLog(*ctx_, text, 0);
    } catch (const RuntimeError&) {
        // Standard error has the text already.
    }
}

}  // namespace veltar
