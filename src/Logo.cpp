#include "src/Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// One curved arrow of the mark, half a circle around the centre, with its
// head at the end of the arc.
void DrawArcArrow(QPainter& painter, const QPointF& centre, qreal radius, qreal startDegrees,
                  const QColor& color)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPen pen(color, 5.0, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(box, static_cast<int>(startDegrees * 16), static_cast<int>(140 * 16));

    // The head points along the arc (counter-clockwise) at its end.
    const qreal endRadians = (startDegrees + 140) * 3.14159265358979 / 180.0;
    const QPointF tip(centre.x() + radius * std::cos(endRadians), centre.y() - radius * std::sin(endRadians));
    const QPointF along(-std::sin(endRadians), -std::cos(endRadians));   // tangent, screen coordinates
    const QPointF across(std::cos(endRadians), -std::sin(endRadians));   // outwards
    QPainterPath head;
    head.moveTo(tip + along * 7.0);
    head.lineTo(tip + across * 6.5);
    head.lineTo(tip - across * 6.5);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(head);
}

} // namespace

QPixmap MakeLogoPixmap()
{
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The mark: a round badge with two arrows in two colours.
    const QPointF centre(26, 26);
    QRadialGradient badge(centre, 25);
    badge.setColorAt(0.0, QColor(255, 255, 255));
    badge.setColorAt(1.0, QColor(214, 228, 242));
    painter.setPen(QPen(QColor(70, 110, 160), 1.5));
    painter.setBrush(badge);
    painter.drawEllipse(centre, 24, 24);
    DrawArcArrow(painter, centre, 15, 20, QColor(0, 120, 60));     // green, Palm side
    DrawArcArrow(painter, centre, 15, 200, QColor(20, 70, 170));   // blue, address book

    // The name and the line under it.
    QFont nameFont(QStringLiteral("DejaVu Sans"));
    nameFont.setPixelSize(24);
    nameFont.setBold(true);
    painter.setFont(nameFont);
    painter.setPen(QColor(25, 55, 110));
    painter.drawText(QRectF(58, 2, 240, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Varnwick"));

    QFont lineFont(QStringLiteral("DejaVu Sans"));
    lineFont.setPixelSize(11);
    painter.setFont(lineFont);
    painter.setPen(QColor(60, 60, 60));
    painter.drawText(QRectF(59, 31, 240, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Outlook Express \u21c4 Palm Desktop"));
    painter.end();
    return pixmap;
}
