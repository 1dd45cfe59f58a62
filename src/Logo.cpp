#include "src/Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// The mark, in logo pixels: the badge and the two arrows around its centre.
constexpr qreal kMarkCentre = 26;
constexpr qreal kBadgeRadius = 24;
constexpr qreal kBadgeLine = 1.5;
constexpr qreal kArrowRadius = 15;
constexpr qreal kArrowSweep = 140;  // degrees of arc each arrow covers
constexpr qreal kArrowLine = 5.0;
constexpr qreal kHeadLength = 7.0;
constexpr qreal kHeadHalfWidth = 6.5;
const QColor kBadgeInner(255, 255, 255);
const QColor kBadgeOuter(214, 228, 242);
const QColor kBadgeBorder(70, 110, 160);

struct MarkArrow {
    qreal startDegrees;  // counter-clockwise from three o'clock
    QColor color;
};
const MarkArrow kArrows[] = {
    {20, QColor(0, 120, 60)},    // green, Palm side
    {200, QColor(20, 70, 170)},  // blue, address book
};

QPointF OnCircle(qreal degrees)
{
    const qreal radians = degrees * 3.14159265358979 / 180.0;
    return {kMarkCentre + kArrowRadius * std::cos(radians), kMarkCentre - kArrowRadius * std::sin(radians)};
}

// The three corners of an arrow's head, which points along the arc
// (counter-clockwise) at its end.
void HeadCorners(const MarkArrow& arrow, QPointF corners[3])
{
    const qreal endDegrees = arrow.startDegrees + kArrowSweep;
    const qreal endRadians = endDegrees * 3.14159265358979 / 180.0;
    const QPointF tip = OnCircle(endDegrees);
    const QPointF along(-std::sin(endRadians), -std::cos(endRadians));  // tangent, screen coordinates
    const QPointF across(std::cos(endRadians), -std::sin(endRadians));  // outwards
    corners[0] = tip + along * kHeadLength;
    corners[1] = tip + across * kHeadHalfWidth;
    corners[2] = tip - across * kHeadHalfWidth;
}

void DrawArcArrow(QPainter& painter, const MarkArrow& arrow)
{
    const QRectF box(kMarkCentre - kArrowRadius, kMarkCentre - kArrowRadius, 2 * kArrowRadius, 2 * kArrowRadius);
    painter.setPen(QPen(arrow.color, kArrowLine, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(box, static_cast<int>(arrow.startDegrees * 16), static_cast<int>(kArrowSweep * 16));

    QPointF corners[3];
    HeadCorners(arrow, corners);
    QPainterPath head;
    head.moveTo(corners[0]);
    head.lineTo(corners[1]);
    head.lineTo(corners[2]);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(arrow.color);
    painter.drawPath(head);
}

// The round badge with two arrows in two colours, in logo pixels.
void DrawMark(QPainter& painter)
{
    const QPointF centre(kMarkCentre, kMarkCentre);
    QRadialGradient badge(centre, kBadgeRadius + 1);
    badge.setColorAt(0.0, kBadgeInner);
    badge.setColorAt(1.0, kBadgeOuter);
    painter.setPen(QPen(kBadgeBorder, kBadgeLine));
    painter.setBrush(badge);
    painter.drawEllipse(centre, kBadgeRadius, kBadgeRadius);
    for (const MarkArrow& arrow : kArrows)
        DrawArcArrow(painter, arrow);
}

QString Num(qreal value)
{
    return QString::number(value, 'f', 3);
}

}  // namespace

QPixmap MakeLogoIcon(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(nSize / static_cast<qreal>(kLogoMarkSize), nSize / static_cast<qreal>(kLogoMarkSize));
    DrawMark(painter);
    painter.end();
    return pixmap;
}

QString LogoMarkSvg()
{
    QString svg = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(kLogoMarkSize);
    svg += QStringLiteral(
               "  <defs><radialGradient id=\"badge\" cx=\"%1\" cy=\"%1\" r=\"%2\" "
               "gradientUnits=\"userSpaceOnUse\"><stop offset=\"0\" stop-color=\"%3\"/>"
               "<stop offset=\"1\" stop-color=\"%4\"/></radialGradient></defs>\n")
               .arg(Num(kMarkCentre), Num(kBadgeRadius + 1), kBadgeInner.name(), kBadgeOuter.name());
    svg += QStringLiteral(
               "  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"url(#badge)\" stroke=\"%3\" "
               "stroke-width=\"%4\"/>\n")
               .arg(Num(kMarkCentre), Num(kBadgeRadius), kBadgeBorder.name(), Num(kBadgeLine));
    for (const MarkArrow& arrow : kArrows) {
        const QPointF from = OnCircle(arrow.startDegrees);
        const QPointF to = OnCircle(arrow.startDegrees + kArrowSweep);
        // Counter-clockwise on the screen is SVG's sweep flag 0; the arc is
        // shorter than half a circle.
        svg += QStringLiteral(
                   "  <path d=\"M %1 %2 A %3 %3 0 0 0 %4 %5\" fill=\"none\" stroke=\"%6\" "
                   "stroke-width=\"%7\"/>\n")
                   .arg(Num(from.x()), Num(from.y()), Num(kArrowRadius), Num(to.x()), Num(to.y()), arrow.color.name(),
                        Num(kArrowLine));
        QPointF corners[3];
        HeadCorners(arrow, corners);
        svg += QStringLiteral("  <polygon points=\"%1,%2 %3,%4 %5,%6\" fill=\"%7\"/>\n")
                   .arg(Num(corners[0].x()), Num(corners[0].y()), Num(corners[1].x()), Num(corners[1].y()),
                        Num(corners[2].x()), Num(corners[2].y()), arrow.color.name());
    }
    svg += QStringLiteral("</svg>\n");
    return svg;
}

QPixmap MakeLogoPixmap()
{
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    DrawMark(painter);

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
