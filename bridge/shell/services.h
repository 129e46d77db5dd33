// The seams between the bridge's logic and the platform. The logic talks only
// to these interfaces; the program installs the real ones (Qt windows, the
// system clock, the program's directory, the dynamically loaded library) and
// tests install doubles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datetime.h"

namespace veltar {

inline constexpr const char* kProgramTitle = "VELTAR2000";

enum class Icon { None, Information, Error, Warning };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

// The bridge's windows, as the logic refers to them.
enum class Window { Splash, Main, About, ServiceMenu, FiscalElements, PrinterUtilities,
                    PeriodicReport, CashDrawer };

// Window services. Texts are code page 1250; the implementation converts them
// for display.
class WindowServices {
public:
    virtual ~WindowServices() = default;
    // Modal box; returns the operator's answer.
    virtual Answer messageBox(const std::string& text, const std::string& title, Icon icon,
                              Buttons buttons) = 0;
    // The 2000 ms polling timer of the main window.
    virtual void setPollingTimer(bool on) = 0;
    virtual bool pollingTimer() const = 0;
    virtual void showWindow(Window w) = 0;
    virtual void hideWindow(Window w) = 0;
    virtual void closeWindow(Window w) = 0;
    // Ends the program once control returns to the event loop.
    virtual void quit() = 0;
    virtual void setBusyPointer(bool busy) = 0;
    // Waits while window events go on being handled.
    virtual void waitProcessingEvents(int milliseconds) = 0;
    // The caption in the window's title bar.
    virtual void setCaption(Window w, const std::string& caption) = 0;
    // Enables or disables one control of a window, named as the logic names
    // it ("ServicePOS", "RapoarteMF", ...).
    virtual void setControlEnabled(Window w, const std::string& control, bool enabled) = 0;
    // Puts the program's icon with its tip into the desktop's notification
    // area. False when there is no notification area to put it in (no tray
    // host, no display): then nothing leads back to a hidden main window.
    virtual bool addTrayIcon(const std::string& tip) = 0;
    virtual void removeTrayIcon() = 0;
    // Opens the tray icon's popup menu ("Comenzi", "Exit") at the mouse.
    virtual void popupTrayMenu() = 0;
};

// "Now", and the plain blocking wait, for everything that needs the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    virtual void sleepMilliseconds(int milliseconds) = 0;
};

// What a look at a file tells without reading it: enough to see whether
// somebody is still writing it.
struct FileStamp {
    int64_t size = 0;
    int64_t modifiedNanoseconds = 0;  // modification time, as the file system keeps it
    int64_t ageMilliseconds = 0;      // how long ago that was, by the file system's clock
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The program's own directory and the files in it. Names are relative to the
// directory. Failures throw RuntimeError with the system's number and text.
class ProgramFiles {
public:
    virtual ~ProgramFiles() = default;
    virtual std::string directory() const = 0;
    // Looks up an ordinary file (not a directory) whose name equals `name`
    // ignoring case, and returns its name as stored on disk. Each caller
    // compares the result its own way (case-insensitively, or exactly).
    virtual std::optional<std::string> findFile(const std::string& name) const = 0;
    // All lines of a file, each line ended by CR, CR LF or the end of the file.
    // Every name in the directory itself (files, sub-directories, anything),
    // from one read of it.
    virtual std::vector<std::string> listNames() const = 0;
    // Size and modification time of an ordinary file; nothing when there is
    // no such file.
    virtual std::optional<FileStamp> stamp(const std::string& name) const = 0;
    virtual std::vector<std::string> readLines(const std::string& name) const = 0;
    virtual std::string readAll(const std::string& name) const = 0;
    // Replaces the file as a whole: the new content is written to a temporary
    // file in the same directory and renamed over the old one, so a reader
    // never sees it half-written or missing.
    virtual void replace(const std::string& name, const std::string& content) = 0;
    virtual void append(const std::string& name, const std::string& text) = 0;
    virtual void remove(const std::string& name) = 0;
    virtual void createDirectory(const std::string& name) = 0;
};

}  // namespace veltar
