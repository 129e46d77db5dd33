#include "field_viewer.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltar {

namespace {
constexpr int kWidth = 360;
constexpr int kHeight = 140;
}  // namespace

FieldViewer::FieldViewer(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      Rezultat_(new QPlainTextEdit(this)),
      cmdOK_(new QPushButton(QStringLiteral("OK"), this)) {
    setObjectName(QStringLiteral("FieldViewer"));
    setWindowTitle(QStringLiteral("Rezultat"));
    setModal(false);
    Rezultat_->setObjectName(QStringLiteral("Rezultat"));
    Rezultat_->setReadOnly(true);
    // Read-only, yet the text can still be selected and copied.
    Rezultat_->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                       Qt::TextSelectableByMouse);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Rezultat_);
    layout->addWidget(cmdOK_, 0, Qt::AlignRight);
    resize(kWidth, kHeight);
    // OK and Enter close it; Esc does by itself.
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::close);
}

void FieldViewer::showText(const QString& text) {
    Rezultat_->setPlainText(text);
    show();
    raise();
    activateWindow();
    cmdOK_->setFocus();
}

QString FieldViewer::text() const { return Rezultat_->toPlainText(); }

}  // namespace veltar
