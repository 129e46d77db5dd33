// The window services of the bridge on Qt Widgets: message boxes, the polling
// timer Timer1, the windows by their names, the busy pointer, and the tray
// icon with its popup menu. It decides nothing: every event it receives goes
// to one function of the windows' logic, and it carries out what the logic
// asks. Texts arrive in code page 1250 and are shown as UTF-8.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "shell/context.h"
#include "shell/services.h"

class QMenu;
class QAction;

namespace veltar {

// A code page 1250 text as the window system shows it; line ends of any kind
// become Qt's own.
QString DisplayText(const std::string& text);
// A text typed into a widget, back to code page 1250.
std::string FromDisplayText(const QString& text);

class QtWindowServices : public QObject, public WindowServices {
    Q_OBJECT

public:
    static constexpr int kPollingIntervalMs = 2000;

    explicit QtWindowServices(QObject* parent = nullptr);
    ~QtWindowServices() override;

    // The context whose handlers Timer1, the tray icon and its menu call.
    // Until it is attached those events do nothing.
    void attach(Context& ctx) { ctx_ = &ctx; }
    // The widget that stands for a window of the logic. Windows without a
    // widget (screens not built yet) are neither shown nor hidden.
    void registerWindow(Window w, QWidget* widget);
    QWidget* widget(Window w) const;

    // Stands in for the operator: when set, every box is handed to it, fully
    // built, instead of being shown modally, and the button it returns is
    // the answer.
    using BoxAnswerer = std::function<QMessageBox::StandardButton(QMessageBox&)>;
    void setBoxAnswerer(BoxAnswerer answerer) { answerer_ = std::move(answerer); }

    // The program has asked to end: main must not enter the event loop.
    bool quitRequested() const { return quitRequested_; }
    // True while the logic closes this window. Windows without a close box
    // refuse every other close (the window manager's Alt+F4, for one): Qt
    // does not tell them apart by the event itself.
    bool closingByProgram(const QWidget* widget) const {
        return widget != nullptr && closing_ == widget;
    }

    const QTimer& pollingTimerForTest() const { return timer1_; }
    QSystemTrayIcon& trayIcon() { return tray_; }
    QMenu& trayMenu() { return *menu_; }
    int busyDepth() const { return busyDepth_; }

    Answer messageBox(const std::string& text, const std::string& title, Icon icon,
                      Buttons buttons) override;
    void setPollingTimer(bool on) override;
    bool pollingTimer() const override { return timer1_.isActive(); }
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

signals:
    // A window of the program has become the active one in place of another
    // window of the program, or after it had been hidden. Message boxes,
    // menus and other programs do not count: the main window coming back
    // from its own box is not a new activation, or a box shown by the
    // activation's own checks would bring them back for ever.
    void formActivated(veltar::Window w);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<Window> windowOf(QObject* object) const;
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);

    Context* ctx_ = nullptr;
    std::map<Window, QPointer<QWidget>> windows_;
    std::optional<Window> activeForm_;
    const QWidget* closing_ = nullptr;
    BoxAnswerer answerer_;
    QTimer timer1_;
    QSystemTrayIcon tray_;
    std::unique_ptr<QMenu> menu_;
    int busyDepth_ = 0;
    bool quitRequested_ = false;
};

}  // namespace veltar
