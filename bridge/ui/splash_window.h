// The splash frmSplash: frameless, outside the taskbar, centred; its 500 ms
// timer, any key and a click on its frame end it, and so does a close from
// outside. Each of those goes to the splash's handler, which loads the main
// window.
#pragma once

#include <QTimer>
#include <QWidget>

#include <memory>

#include "shell/context.h"

namespace Ui {
class SplashForm;
}

namespace veltar {

class SplashWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTimerSpashMs = 500;

    explicit SplashWindow(Context& ctx);
    ~SplashWindow() override;

    const QTimer& timerForTest() const { return timerSpash_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Context& ctx_;
    std::unique_ptr<Ui::SplashForm> form_;
    QTimer timerSpash_;
    bool loaded_ = false;
};

}  // namespace veltar
