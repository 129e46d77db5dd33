#include "service_menu_window.h"

#include <QCloseEvent>
#include <QPushButton>

#include "pictures.h"
#include "qt_window_services.h"
#include "shell/windows/small_windows.h"
#include "ui_service_menu_window.h"

namespace veltar {

ServiceMenuWindow::ServiceMenuWindow(Context& ctx, QtWindowServices& services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ctx_(ctx),
      services_(services),
      form_(std::make_unique<Ui::ServiceMenuForm>()) {
    form_->setupUi(this);
    setWindowIcon(ProgramIcon());
    QFont title = form_->Titlu->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() * 3 / 2);
    form_->Titlu->setFont(title);

    const struct {
        QPushButton* button;
        const char* theme;
        QStyle::StandardPixmap fallback;
    } pictures[] = {
        {form_->ServiceFiscal, "document-properties", QStyle::SP_FileDialogInfoView},
        {form_->UtilitarBut, "applications-utilities", QStyle::SP_DirIcon},
        {form_->RapTehBut, "document-print", QStyle::SP_FileIcon},
        {form_->ExitBut, "go-previous", QStyle::SP_ArrowBack},
    };
    for (const auto& picture : pictures) {
        picture.button->setIcon(ThemedIcon(picture.theme, picture.fallback));
        picture.button->setAccessibleName(picture.button->toolTip());
    }
    form_->ExitBut->setShortcut(QKeySequence(Qt::Key_Escape));

    connect(form_->RapTehBut, &QPushButton::clicked, this, [this] { RapTehButClick(ctx_); });
    connect(form_->ServiceFiscal, &QPushButton::clicked, this,
            [this] { ServiceFiscalClick(ctx_); });
    connect(form_->UtilitarBut, &QPushButton::clicked, this, [this] { UtilitarButClick(ctx_); });
    connect(form_->ExitBut, &QPushButton::clicked, this, [this] { ServiceExitClick(ctx_); });
}

ServiceMenuWindow::~ServiceMenuWindow() = default;

void ServiceMenuWindow::closeEvent(QCloseEvent* event) {
    // No close box: leaving it from the window manager would skip the
    // way back to the main window and its checks.
    if (!services_.closingByProgram(this)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace veltar
