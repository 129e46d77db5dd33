#include "pictures.h"

#include <QApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace veltar {

namespace {

const QColor kInk(0x1d, 0x35, 0x57);
const QColor kPaper(0xfb, 0xfa, 0xf5);
const QColor kSky(0x45, 0x7b, 0x9d);
const QColor kDeep(0x0f, 0x1f, 0x33);

// A paper slip with a torn (zigzag) lower edge, as it leaves the printer.
QPainterPath ReceiptOutline(const QRectF& r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right(), r.top());
    const int teeth = 5;
    const qreal tooth = r.width() / teeth;
    const qreal depth = r.height() * 0.08;
    path.lineTo(r.right(), r.bottom());
    for (int i = teeth - 1; i >= 0; --i) {
        path.lineTo(r.left() + tooth * (i + 0.5), r.bottom() - depth);
        path.lineTo(r.left() + tooth * i, r.bottom());
    }
    path.closeSubpath();
    return path;
}

}  // namespace

QPixmap ProgramLogo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal s = size;
    const QRectF slip(s * 0.16, s * 0.04, s * 0.68, s * 0.92);
    painter.setPen(QPen(kInk, qMax(1.0, s / 24)));
    painter.setBrush(kPaper);
    painter.drawPath(ReceiptOutline(slip));

    // Printed lines above the letter, as on a receipt's header.
    if (size >= 24) {
        painter.setPen(QPen(kSky, qMax(1.0, s / 32)));
        for (int i = 0; i < 2; ++i) {
            const qreal y = slip.top() + s * (0.12 + 0.08 * i);
            painter.drawLine(QPointF(slip.left() + s * 0.1, y), QPointF(slip.right() - s * 0.1, y));
        }
    }

    // The V, drawn as a stroke so that it stays sharp at 16 pixels.
    const qreal top = size >= 24 ? slip.top() + s * 0.32 : slip.top() + s * 0.16;
    QPolygonF v;
    v << QPointF(slip.left() + s * 0.1, top) << QPointF(s * 0.5, slip.bottom() - s * 0.16)
      << QPointF(slip.right() - s * 0.1, top);
    QPen stroke(kInk, qMax(2.0, s / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(v);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        icon.addPixmap(ProgramLogo(size));
    }
    return icon;
}

void PaintBackground(QPainter& painter, const QRect& area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    gradient.setColorAt(0.0, kDeep);
    gradient.setColorAt(0.55, kInk);
    gradient.setColorAt(1.0, kSky);
    painter.fillRect(area, gradient);

    // The product name across the lower right corner, faint, under the buttons.
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qMax(12, area.height() / 6));
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 28));
    painter.translate(area.center());
    painter.rotate(-18);
    painter.drawText(QRect(-area.width(), -area.height() / 2, 2 * area.width(), area.height()),
                     Qt::AlignCenter, QString::fromLatin1(kProductName));
    painter.restore();
}

QIcon ThemedIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

}  // namespace veltar
