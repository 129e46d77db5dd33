#include "scripted_window_services.h"

namespace veltar::testing {

Answer ScriptedWindowServices::messageBox(const std::string& text, const std::string& title,
                                          Icon icon, Buttons buttons) {
    boxes.push_back(ShownBox{text, title, icon, buttons});
    journal.push_back("box:" + text);
    if (whileOpen) whileOpen();
    if (!script.empty()) {
        Answer answer = script.front();
        script.pop_front();
        return answer;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

void ScriptedWindowServices::setPollingTimer(bool on) {
    timerOn = on;
    timerSwitches.push_back(on);
    journal.push_back(on ? "timer:on" : "timer:off");
}

void ScriptedWindowServices::showWindow(Window w) {
    windowEvents.push_back({WindowEvent::Kind::Show, w});
    journal.push_back("show:" + std::to_string(static_cast<int>(w)));
}

void ScriptedWindowServices::hideWindow(Window w) {
    windowEvents.push_back({WindowEvent::Kind::Hide, w});
    journal.push_back("hide:" + std::to_string(static_cast<int>(w)));
}

void ScriptedWindowServices::closeWindow(Window w) {
    windowEvents.push_back({WindowEvent::Kind::Close, w});
    journal.push_back("close:" + std::to_string(static_cast<int>(w)));
}

void ScriptedWindowServices::quit() {
    ++quitCalls;
    journal.push_back("quit");
}

void ScriptedWindowServices::setBusyPointer(bool on) {
    busy = on;
    busySwitches.push_back(on);
    journal.push_back(on ? "busy:on" : "busy:off");
}

void ScriptedWindowServices::waitProcessingEvents(int milliseconds) {
    waits.push_back(milliseconds);
    journal.push_back("wait:" + std::to_string(milliseconds));
    if (whileOpen) whileOpen();
}

void ScriptedWindowServices::setCaption(Window w, const std::string& caption) {
    captions[w] = caption;
    journal.push_back("caption:" + std::to_string(static_cast<int>(w)) + ":" + caption);
}

void ScriptedWindowServices::setControlEnabled(Window w, const std::string& control,
                                               bool on) {
    const std::string key = std::to_string(static_cast<int>(w)) + ":" + control;
    enabled[key] = on;
    journal.push_back("enable:" + key + (on ? ":on" : ":off"));
}

bool ScriptedWindowServices::addTrayIcon(const std::string& tip) {
    journal.push_back("tray:add");
    if (!trayHostPresent) return false;
    trayIconShown = true;
    trayTip = tip;
    return true;
}

void ScriptedWindowServices::removeTrayIcon() {
    trayIconShown = false;
    journal.push_back("tray:remove");
}

void ScriptedWindowServices::popupTrayMenu() {
    ++trayMenuPopups;
    journal.push_back("tray:menu");
}

std::vector<std::string> ScriptedWindowServices::boxTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.text);
    return texts;
}

}  // namespace veltar::testing
