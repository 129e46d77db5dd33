// What the four service screens' dialogs share: the binding of a form's text
// boxes to the presenter's form struct, the boxes' key rules, Enter and Esc
// as the screens answer them, the presenter's load each time the dialog is
// opened, and the title bar's close.
//
// Every event goes the same way: the typed texts into the form, one call of
// the presenter, then the form shown again and its requests carried out.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/context.h"

class QLineEdit;
class QPushButton;

namespace veltar {

// A code page 1250 text as a text box shows it, byte for byte, line ends
// included.
QString BoxText(const std::string& text);

class ServiceDialog : public QDialog {
    Q_OBJECT

public:
    ~ServiceDialog() override;

protected:
    enum class CloseBox { Shown, None };

    ServiceDialog(Context& ctx, QWidget* parent, CloseBox closeBox);

    // After the form is set up. Enter is the dialog's to hand out (to the
    // button with the focus, else to the default button), so no button is
    // made or drawn the default one behind the screen's back, as Qt's
    // auto-default does with the first button in the tab order.
    void finishForm();
    // The button that answers Enter wherever the focus is, except on
    // another button.
    void setDefaultButton(QPushButton* button);

    // The box shows `field` and what is typed into it goes back there.
    void bindText(QLineEdit* box, std::string& field);

    // What a text box does with keys: `keyPress` sees each typed character
    // (code page 1250) and says whether to keep it; `keyDown` sees every key
    // first, Enter as 13 and Esc as 27. Either may be left empty.
    struct KeyRules {
        std::function<bool(char)> keyPress;
        std::function<void(int)> keyDown;
    };
    void setKeyRules(QLineEdit* box, KeyRules rules);
    void onDoubleClick(QLineEdit* box, std::function<void()> handler);

    // One event of the presenter, with the form copied in and shown again.
    void run(const std::function<void()>& event);
    // Connects a button's click to one event of the presenter.
    void onClick(QPushButton* button, std::function<void()> event);

    // Gives `control` the focus as the presenter asked; `selectAll` selects
    // the whole text of a text box.
    static void focusControl(QWidget* control, bool selectAll);

    // The presenter's form load.
    virtual void loadForm() = 0;
    // Beyond the bound texts: what the form holds besides (enabled states,
    // check boxes) and its requests, carried out and cleared.
    virtual void showForm() {}
    virtual void readForm() {}
    // The control that has the focus when the dialog opens.
    virtual QWidget* firstControl() const = 0;
    // Esc, wherever the focus is.
    virtual void escapePressed() {}
    // The title bar's close box (only dialogs that have one).
    virtual void closeBoxPressed() {}

    Context& context() { return ctx_; }

    void setVisible(bool visible) override;
    // Every other way Qt has of cancelling a dialog is Esc as well: none
    // may hide the screen behind its presenter's back.
    void reject() override { escapePressed(); }
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct BoundText {
        QLineEdit* box;
        std::string* field;
        // What the box was last given: a text the operator has not changed
        // keeps the form's own bytes, even those the box cannot show.
        QString shown;
    };
    struct BoxEvents {
        KeyRules keys;
        std::function<void()> doubleClick;
    };

    void readTexts();
    void showTexts();
    bool filterKey(const BoxEvents& events, QKeyEvent& key);
    bool closingByProgram() const;

    Context& ctx_;
    const CloseBox closeBox_;
    QPushButton* defaultButton_ = nullptr;
    std::vector<BoundText> texts_;
    std::map<const QObject*, BoxEvents> boxEvents_;
};

}  // namespace veltar
