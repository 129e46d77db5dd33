// Window services for a run without any display (a background service, a
// machine without a screen). Nobody can answer a box, so every box is written
// with its title to standard error and to Veltar.log and answered at once
// (OK, or Yes for a question); windows, captions and the tray do nothing,
// except that closing the main window ends the program, as it does on a
// screen; a wait is a plain pause; the polling timer is driven by run().
#pragma once

#include <functional>
#include <ostream>

#include "context.h"
#include "services.h"

namespace veltar {

// The polling timer's interval.
inline constexpr int kPollingIntervalMilliseconds = 2000;

class HeadlessWindowServices : public WindowServices {
public:
    HeadlessWindowServices(Clock& clock, std::ostream& errors);
    // Boxes are logged through this context once it exists.
    void attach(Context& ctx) { ctx_ = &ctx; }

    Answer messageBox(const std::string& text, const std::string& title, Icon icon,
                      Buttons buttons) override;
    void setPollingTimer(bool on) override { timerOn_ = on; }
    bool pollingTimer() const override { return timerOn_; }
    void showWindow(Window) override {}
    void hideWindow(Window) override {}
    void closeWindow(Window w) override {
        if (w == Window::Main) quitRequested_ = true;
    }
    void quit() override { quitRequested_ = true; }
    void setBusyPointer(bool) override {}
    void waitProcessingEvents(int milliseconds) override;
    void setCaption(Window, const std::string&) override {}
    void setControlEnabled(Window, const std::string&, bool) override {}
    bool addTrayIcon(const std::string&) override { return false; }
    void removeTrayIcon() override {}
    void popupTrayMenu() override {}

    // The event loop of a run without a display: every 2000 ms while the
    // polling timer is on, `onTimer` runs. Returns true once the program has
    // asked to end. Returns false when the timer is off: with no operator
    // nobody could switch it on again, so after a line in the log the caller
    // ends the program (EndProgram) instead of waiting for ever.
    bool run(const std::function<void()>& onTimer);
    bool quitRequested() const { return quitRequested_; }

private:
    // A line for Veltar.log, when a context is attached; a log that cannot
    // be written leaves only standard error.
    void log(const std::string& text);

    Clock& clock_;
    std::ostream& errors_;
    Context* ctx_ = nullptr;
    bool timerOn_ = false;
    bool quitRequested_ = false;
    // True while a box is being logged: the log writer's own failure shows a
    // box, which must not be logged again.
    bool logging_ = false;
};

}  // namespace veltar
