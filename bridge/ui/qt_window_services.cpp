#include "qt_window_services.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QMenu>
#include <QWidget>

#include "pictures.h"
#include "shell/text_codec.h"
#include "shell/windows/main_window.h"

namespace veltar {

namespace {

QMessageBox::Icon QtIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Error:
            return QMessageBox::Critical;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons QtButtons(Buttons buttons) {
    switch (buttons) {
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// What a box closed without one of its buttons answers (the window manager's
// close, or an answer the box does not offer): never the affirmative one.
Answer Unanswered(Buttons buttons) {
    switch (buttons) {
        case Buttons::OkCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::Ok:
            break;
    }
    return Answer::Ok;
}

Answer ToAnswer(int clicked, Buttons buttons) {
    const bool yesNo = buttons == Buttons::YesNo;
    switch (clicked) {
        case QMessageBox::Ok:
            if (!yesNo) return Answer::Ok;
            break;
        case QMessageBox::Cancel:
            if (buttons == Buttons::OkCancel) return Answer::Cancel;
            break;
        case QMessageBox::Yes:
            if (yesNo) return Answer::Yes;
            break;
        case QMessageBox::No:
            if (yesNo) return Answer::No;
            break;
        default:
            break;
    }
    return Unanswered(buttons);
}

}  // namespace

QString DisplayText(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            lines += text[i];
        }
    }
    return QString::fromStdString(Cp1250ToUtf8(lines));
}

std::string FromDisplayText(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

QtWindowServices::QtWindowServices(QObject* parent)
    : QObject(parent), tray_(ProgramIcon()), menu_(std::make_unique<QMenu>()) {
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(kPollingIntervalMs);
    connect(&timer1_, &QTimer::timeout, this, [this] {
        if (ctx_ != nullptr) ComenziTimer(*ctx_);
    });

    tray_.setObjectName(QStringLiteral("imgIcon"));
    connect(&tray_, &QSystemTrayIcon::activated, this, &QtWindowServices::onTrayActivated);

    menu_->setObjectName(QStringLiteral("mMeniu"));
    menu_->setTitle(QStringLiteral("Meniu"));
    QAction* show = menu_->addAction(QStringLiteral("Comenzi"));
    show->setObjectName(QStringLiteral("mShow"));
    QAction* exit = menu_->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mExit"));
    // Queued, so that the menu has closed and finished its own events before
    // the entry's handler opens a box of its own.
    connect(show, &QAction::triggered, this, [this] {
        if (ctx_ != nullptr) MeniuShow(*ctx_);
    }, Qt::QueuedConnection);
    connect(exit, &QAction::triggered, this, [this] {
        if (ctx_ != nullptr) MeniuExit(*ctx_);
    }, Qt::QueuedConnection);
}

QtWindowServices::~QtWindowServices() {
    while (busyDepth_ > 0) setBusyPointer(false);
    for (auto& [w, widget] : windows_) {
        if (widget) widget->removeEventFilter(this);
    }
}

void QtWindowServices::registerWindow(Window w, QWidget* widget) {
    if (QWidget* old = this->widget(w)) old->removeEventFilter(this);
    windows_[w] = widget;
    if (widget != nullptr) widget->installEventFilter(this);
}

QWidget* QtWindowServices::widget(Window w) const {
    const auto found = windows_.find(w);
    return found == windows_.end() ? nullptr : found->second.data();
}

std::optional<Window> QtWindowServices::windowOf(QObject* object) const {
    for (const auto& [w, widget] : windows_) {
        if (widget == object) return w;
    }
    return std::nullopt;
}

bool QtWindowServices::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowActivate || type == QEvent::Hide) {
        if (const std::optional<Window> w = windowOf(watched)) {
            if (type == QEvent::Hide) {
                if (activeForm_ == w) activeForm_.reset();
            } else if (activeForm_ != w) {
                activeForm_ = w;
                emit formActivated(*w);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

Answer QtWindowServices::messageBox(const std::string& text, const std::string& title, Icon icon,
                                    Buttons buttons) {
    QMessageBox box(QtIcon(icon), DisplayText(title.empty() ? std::string(kProgramTitle) : title),
                    DisplayText(text), QtButtons(buttons));
    // The texts come from files and from the printer: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowIcon(ProgramIcon());
    box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int clicked = answerer_ ? static_cast<int>(answerer_(box)) : box.exec();
    return ToAnswer(clicked, buttons);
}

void QtWindowServices::setPollingTimer(bool on) {
    // Switching on a running timer keeps its rhythm, as an enabled timer
    // that is enabled again does.
    if (!on) {
        timer1_.stop();
    } else if (!timer1_.isActive() && !quitRequested_) {
        timer1_.start();
    }
}

void QtWindowServices::showWindow(Window w) {
    QWidget* widget = this->widget(w);
    if (widget == nullptr) return;
    widget->show();
    widget->raise();
    widget->activateWindow();
}

void QtWindowServices::hideWindow(Window w) {
    if (QWidget* widget = this->widget(w)) widget->hide();
}

void QtWindowServices::closeWindow(Window w) {
    if (QWidget* widget = this->widget(w)) {
        const QWidget* outer = closing_;
        closing_ = widget;
        widget->close();
        closing_ = outer;
    }
    // Closing the main window ends the program, whoever closes it.
    if (w == Window::Main) quit();
}

void QtWindowServices::quit() {
    quitRequested_ = true;
    timer1_.stop();
    // Queued: the caller's procedure finishes first, and a call made before
    // the event loop runs still ends it as soon as it starts.
    QMetaObject::invokeMethod(this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtWindowServices::setBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

void QtWindowServices::waitProcessingEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(qMax(0, milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
}

void QtWindowServices::setCaption(Window w, const std::string& caption) {
    if (QWidget* widget = this->widget(w)) widget->setWindowTitle(DisplayText(caption));
}

void QtWindowServices::setControlEnabled(Window w, const std::string& control, bool enabled) {
    QWidget* widget = this->widget(w);
    if (widget == nullptr) return;
    if (QWidget* child = widget->findChild<QWidget*>(QString::fromStdString(control))) {
        child->setEnabled(enabled);
    }
}

bool QtWindowServices::addTrayIcon(const std::string& tip) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    tray_.setToolTip(DisplayText(tip));
    tray_.show();
    return true;
}

void QtWindowServices::removeTrayIcon() { tray_.hide(); }

void QtWindowServices::popupTrayMenu() { menu_->popup(QCursor::pos()); }

void QtWindowServices::onTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (ctx_ == nullptr) return;
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            ComenziTrayNotification(*ctx_, kTrayLeftDoubleClick);
            break;
        case QSystemTrayIcon::Context:
            ComenziTrayNotification(*ctx_, kTrayRightButtonDown);
            break;
        default:
            // A single click, the middle button: the window ignores them.
            break;
    }
}

}  // namespace veltar
