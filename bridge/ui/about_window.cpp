#include "about_window.h"

#include <QPushButton>

#include "pictures.h"
#include "qt_window_services.h"
#include "shell/windows/small_windows.h"
#include "ui_about_window.h"

namespace veltar {

namespace {
constexpr int kIconSize = 64;
}

AboutWindow::AboutWindow(Context& ctx)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      ctx_(ctx),
      form_(std::make_unique<Ui::AboutForm>()) {
    form_->setupUi(this);
    setModal(false);
    setWindowIcon(ProgramIcon());
    form_->picIcon->setPixmap(ProgramLogo(kIconSize));
    QFont title = form_->lblTitle->font();
    title.setBold(true);
    form_->lblTitle->setFont(title);
    // OK is the default button (Enter); Esc closes a dialog by itself.
    connect(form_->cmdOK, &QPushButton::clicked, this, &QDialog::close);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::showEvent(QShowEvent* event) {
    const AboutTexts texts = AboutLoad(ctx_);
    setWindowTitle(DisplayText(texts.caption));
    form_->lblTitle->setText(DisplayText(texts.title));
    form_->lblVersion->setText(DisplayText(texts.version));
    form_->lblDisclaimer->setText(DisplayText(texts.disclaimer));
    form_->cmdOK->setFocus();
    QDialog::showEvent(event);
}

}  // namespace veltar
