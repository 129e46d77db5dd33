// A small read-only window that shows one field's whole text, for a field
// too narrow to read it in (the fiscal elements screen opens it on a double
// click). It belongs to the dialog that opens it and keeps it in front.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace veltar {

class FieldViewer : public QDialog {
    Q_OBJECT

public:
    explicit FieldViewer(QWidget* parent);

    // Shows `text` (UTF-8 already) and brings the viewer forward.
    void showText(const QString& text);
    QString text() const;

private:
    QPlainTextEdit* Rezultat_;
    QPushButton* cmdOK_;
};

}  // namespace veltar
