#include "comenzi_window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

#include "pictures.h"
#include "qt_window_services.h"
#include "shell/windows/main_window.h"
#include "ui_comenzi_window.h"

namespace veltar {

ComenziWindow::ComenziWindow(Context& ctx, QtWindowServices& services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ctx_(ctx),
      services_(services),
      form_(std::make_unique<Ui::ComenziForm>()) {
    form_->setupUi(this);
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setWindowIcon(ProgramIcon());

    QFont title = form_->Label1->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() * 2);
    form_->Label1->setFont(title);
    form_->Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    const struct {
        QPushButton* button;
        const char* theme;
        QStyle::StandardPixmap fallback;
    } pictures[] = {
        {form_->Rapz, "document-save", QStyle::SP_DialogSaveButton},
        {form_->Rapx, "document-print-preview", QStyle::SP_FileDialogContentsView},
        {form_->RapoarteMF, "x-office-spreadsheet", QStyle::SP_FileDialogDetailedView},
        {form_->ServicePOS, "preferences-system", QStyle::SP_DialogResetButton},
        {form_->AboutB, "help-about", QStyle::SP_MessageBoxInformation},
        {form_->ExitBut, "application-exit", QStyle::SP_DialogCloseButton},
    };
    for (const auto& picture : pictures) {
        picture.button->setIcon(ThemedIcon(picture.theme, picture.fallback));
        // A button without a caption still has a name for screen readers.
        picture.button->setAccessibleName(picture.button->toolTip());
    }
    form_->ExitBut->setShortcut(QKeySequence(Qt::Key_Escape));

    connect(form_->Rapz, &QPushButton::clicked, this, [this] { RapzClick(ctx_); });
    connect(form_->Rapx, &QPushButton::clicked, this, [this] { RapxClick(ctx_); });
    connect(form_->RapoarteMF, &QPushButton::clicked, this, [this] { RapoarteMFClick(ctx_); });
    connect(form_->ServicePOS, &QPushButton::clicked, this, [this] { ServicePOSClick(ctx_); });
    connect(form_->SumeSertarBut, &QPushButton::clicked, this,
            [this] { SumeSertarButClick(ctx_); });
    connect(form_->AboutB, &QPushButton::clicked, this, [this] { AboutBClick(ctx_); });
    connect(form_->ExitBut, &QPushButton::clicked, this, [this] { ExitButClick(ctx_); });
    connect(&services, &QtWindowServices::formActivated, this, [this](Window w) {
        if (w == Window::Main) ComenziActivate(ctx_);
    });
}

ComenziWindow::~ComenziWindow() = default;

void ComenziWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBackground(painter, rect());
}

void ComenziWindow::mousePressEvent(QMouseEvent* event) {
    // Only the bare background: a press that a disabled button or the title
    // let through is not meant to hide the window.
    if (childAt(event->position().toPoint()) == nullptr) ComenziBackgroundPress(ctx_);
}

void ComenziWindow::closeEvent(QCloseEvent* event) {
    // The window has no close box: only the program's own way out closes it
    // (it closes the port first). A close from the window manager is refused.
    if (!services_.closingByProgram(this)) {
        event->ignore();
        return;
    }
    ComenziUnload(ctx_);
    event->accept();
}

}  // namespace veltar
