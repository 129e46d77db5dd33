#include "service_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "pictures.h"
#include "qt_window_services.h"
#include "service/screen.h"
#include "shell/text_codec.h"

namespace veltar {

namespace {

Qt::WindowFlags DialogFlags(bool closeBox) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox) flags |= Qt::WindowCloseButtonHint;
    return flags;
}

bool IsEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// The key as a key-down handler knows it.
int KeyCode(const QKeyEvent& key) {
    if (IsEnter(key)) return kKeyEnter;
    if (key.key() == Qt::Key_Escape) return kKeyEscape;
    return key.key() < 0x80 ? key.key() : 0;
}

// The characters a key types, in code page 1250; none for the keys that
// move or delete (Delete says it types 7Fh on some platforms).
std::string TypedCharacters(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Delete || key.text().isEmpty()) return {};
    return FromDisplayText(key.text());
}

}  // namespace

QString BoxText(const std::string& text) { return QString::fromStdString(Cp1250ToUtf8(text)); }

ServiceDialog::ServiceDialog(Context& ctx, QWidget* parent, CloseBox closeBox)
    : QDialog(parent, DialogFlags(closeBox == CloseBox::Shown)), ctx_(ctx), closeBox_(closeBox) {
    setModal(false);
    setWindowIcon(ProgramIcon());
}

ServiceDialog::~ServiceDialog() = default;

void ServiceDialog::finishForm() {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void ServiceDialog::setDefaultButton(QPushButton* button) {
    defaultButton_ = button;
    button->setDefault(true);
}

void ServiceDialog::bindText(QLineEdit* box, std::string& field) {
    texts_.push_back(BoundText{box, &field, box->text()});
}

void ServiceDialog::setKeyRules(QLineEdit* box, KeyRules rules) {
    boxEvents_[box].keys = std::move(rules);
    box->installEventFilter(this);
}

void ServiceDialog::onDoubleClick(QLineEdit* box, std::function<void()> handler) {
    boxEvents_[box].doubleClick = std::move(handler);
    box->installEventFilter(this);
}

void ServiceDialog::readTexts() {
    for (BoundText& bound : texts_) {
        const QString now = bound.box->text();
        if (now != bound.shown) {
            *bound.field = FromDisplayText(now);
            bound.shown = now;
        }
    }
}

void ServiceDialog::showTexts() {
    for (BoundText& bound : texts_) {
        const QString wanted = BoxText(*bound.field);
        if (bound.box->text() != wanted) bound.box->setText(wanted);
        bound.shown = bound.box->text();
    }
}

void ServiceDialog::run(const std::function<void()>& event) {
    readTexts();
    readForm();
    event();
    showTexts();
    showForm();
}

void ServiceDialog::onClick(QPushButton* button, std::function<void()> event) {
    connect(button, &QPushButton::clicked, this, [this, event = std::move(event)] { run(event); });
}

void ServiceDialog::focusControl(QWidget* control, bool selectAll) {
    if (control == nullptr) return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        if (selectAll) {
            box->selectAll();
        } else {
            box->deselect();
        }
    }
}

void ServiceDialog::setVisible(bool visible) {
    // Each opening starts from the form's load, as a screen made anew; a
    // dialog already open is only brought forward.
    if (visible && !isVisible()) {
        run([this] { loadForm(); });
        focusControl(firstControl(), false);
    }
    QDialog::setVisible(visible);
}

void ServiceDialog::keyPressEvent(QKeyEvent* event) {
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && IsEnter(*event)) {
        // A button with the focus takes Enter itself; elsewhere the default
        // button, where the screen has one.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
        } else if (defaultButton_ != nullptr && defaultButton_->isEnabled() &&
                   defaultButton_->isVisible()) {
            defaultButton_->click();
        }
        event->accept();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        escapePressed();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ServiceDialog::filterKey(const BoxEvents& events, QKeyEvent& key) {
    // Tab belongs to the focus chain; no box's rules see it.
    if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) return false;
    if (events.keys.keyDown) {
        const int code = KeyCode(key);
        run([&] { events.keys.keyDown(code); });
    }
    // Esc is the screen's, and so is Enter where a default button answers
    // it: neither is a character of the box.
    if (key.key() == Qt::Key_Escape) return false;
    if (IsEnter(key) && defaultButton_ != nullptr) return false;
    if (!events.keys.keyPress) return false;
    const std::string typed = TypedCharacters(key);
    if (typed.empty()) return false;
    bool keep = true;
    run([&] {
        for (char c : typed) keep = events.keys.keyPress(c) && keep;
    });
    // A character the box does not keep goes no further, also not to the
    // dialog: a discarded Enter does not reach a button.
    return !keep;
}

bool ServiceDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto found = boxEvents_.find(watched);
    if (found != boxEvents_.end()) {
        const BoxEvents& events = found->second;
        if (event->type() == QEvent::KeyPress) {
            return filterKey(events, *static_cast<QKeyEvent*>(event));
        }
        if (event->type() == QEvent::MouseButtonDblClick && events.doubleClick) {
            run(events.doubleClick);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool ServiceDialog::closingByProgram() const {
    const auto* services = dynamic_cast<const QtWindowServices*>(&ctx_.services.ui);
    return services != nullptr && services->closingByProgram(this);
}

void ServiceDialog::closeEvent(QCloseEvent* event) {
    if (closingByProgram()) {
        event->accept();
        return;
    }
    // From the window manager (the close box, Alt+F4): a screen without a
    // close box stays; one with it goes back the way its exit button does,
    // so the main window is never left hidden. Queued: a close cannot be
    // started again while this one is being decided.
    event->ignore();
    if (closeBox_ == CloseBox::Shown) {
        QMetaObject::invokeMethod(this, [this] { closeBoxPressed(); }, Qt::QueuedConnection);
    }
}

}  // namespace veltar
