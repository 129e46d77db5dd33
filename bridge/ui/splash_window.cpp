#include "splash_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include "pictures.h"
#include "qt_window_services.h"
#include "shell/windows/small_windows.h"
#include "ui_splash_window.h"

namespace veltar {

namespace {
constexpr int kLogoSize = 96;
}

SplashWindow::SplashWindow(Context& ctx)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint),
      ctx_(ctx),
      form_(std::make_unique<Ui::SplashForm>()) {
    form_->setupUi(this);
    setWindowIcon(ProgramIcon());
    form_->imgLogo->setPixmap(ProgramLogo(kLogoSize));
    QFont product = form_->lblProductName->font();
    product.setBold(true);
    product.setPointSize(product.pointSize() * 2);
    form_->lblProductName->setFont(product);
    // The frame covers the window: a click anywhere on it, labels included,
    // is a click on the frame.
    form_->Frame1->installEventFilter(this);
    // Keys go to the splash itself, whichever of its parts has the focus.
    setFocusPolicy(Qt::StrongFocus);

    timerSpash_.setObjectName(QStringLiteral("TimerSpash"));
    timerSpash_.setInterval(kTimerSpashMs);
    timerSpash_.setSingleShot(true);
    connect(&timerSpash_, &QTimer::timeout, this, [this] { SplashTimer(ctx_); });
}

SplashWindow::~SplashWindow() = default;

void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (loaded_) return;
    loaded_ = true;
    const SplashTexts texts = SplashLoad(ctx_);
    form_->lblProductName->setText(DisplayText(texts.productName));
    form_->lblVersion->setText(DisplayText(texts.version));
    form_->lblPlatform->setText(DisplayText(texts.platform));
    form_->lblLine1->setText(DisplayText(texts.line1));
    form_->lblLine2->setText(DisplayText(texts.line2));
    adjustSize();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    activateWindow();
    timerSpash_.start();
}

void SplashWindow::keyPressEvent(QKeyEvent*) {
    timerSpash_.stop();
    SplashKeyPress(ctx_);
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_->Frame1 && event->type() == QEvent::MouseButtonPress) {
        timerSpash_.stop();
        SplashFrameClick(ctx_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SplashWindow::closeEvent(QCloseEvent* event) {
    timerSpash_.stop();
    SplashClosed(ctx_);
    event->accept();
}

}  // namespace veltar
