// Window services that record what the logic asked for and answer message
// boxes from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "services.h"

namespace veltar::testing {

struct ShownBox {
    std::string text;
    std::string title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

class ScriptedWindowServices : public WindowServices {
public:
    // The next boxes are answered in this order; once the script runs out, a
    // box is answered OK (OK and OK/Cancel boxes) or Yes (Yes/No boxes).
    void answerNext(Answer answer) { script.push_back(answer); }

    Answer messageBox(const std::string& text, const std::string& title, Icon icon,
                      Buttons buttons) override;
    void setPollingTimer(bool on) override;
    bool pollingTimer() const override { return timerOn; }
    void showWindow(Window w) override;
    void hideWindow(Window w) override;
    void closeWindow(Window w) override;
    void quit() override;
    void setBusyPointer(bool busy) override;
    void waitProcessingEvents(int milliseconds) override;
    void setCaption(Window w, const std::string& caption) override;
    void setControlEnabled(Window w, const std::string& control, bool enabled) override;
    bool addTrayIcon(const std::string& tip) override;
    void removeTrayIcon() override;
    void popupTrayMenu() override;

    // Texts of the boxes shown, in order.
    std::vector<std::string> boxTexts() const;

    std::deque<Answer> script;
    // Called while a box is open (before it is answered), and during every
    // event-keeping wait: what the event loop does meanwhile, e.g. a timer tick.
    std::function<void()> whileOpen;
    std::vector<ShownBox> boxes;
    bool timerOn = false;
    std::vector<bool> timerSwitches;  // every setPollingTimer call
    struct WindowEvent {
        enum class Kind { Show, Hide, Close } kind;
        Window window;
        friend bool operator==(const WindowEvent&, const WindowEvent&) = default;
    };
    std::vector<WindowEvent> windowEvents;
    int quitCalls = 0;
    bool busy = false;
    std::vector<bool> busySwitches;
    std::vector<int> waits;
    // Last caption per window, and each control's last enabled state
    // ("<window>:<control>").
    std::map<Window, std::string> captions;
    std::map<std::string, bool> enabled;
    // Whether addTrayIcon finds a notification area; the icon's state and tip.
    bool trayHostPresent = true;
    bool trayIconShown = false;
    std::string trayTip;
    int trayMenuPopups = 0;
    // Everything above in one sequence ("box:<text>", "timer:on", "show:3",
    // "quit", "busy:on", "wait:500", "caption:1:<text>", "enable:1:<control>:on",
    // "tray:add", "tray:remove", "tray:menu"), for tests that care about the order.
    std::vector<std::string> journal;
};

}  // namespace veltar::testing
