// Draws the program's nine icons. Run by hand after changing a drawing and commit the
// PNGs it writes: formicula-icons DIR. Shapes are drawn as geometry, not with fonts, so
// the output does not depend on what fonts a machine has.

#include "PngWriter.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <cstdio>
#include <functional>

namespace
{
constexpr int ButtonSize = 1034;
constexpr int TurnSize = 20;
const QColor TurnBlue(0x0A, 0x64, 0xB4);

using Drawing = std::function<void(QPainter&)>;

QImage Draw(int size, const Drawing& drawing)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    drawing(painter);
    return image;
}

// The five simulation buttons: a full-size disc of one colour, with a white symbol
// drawn in units of a hundredth of the icon so the shapes read at a glance when scaled
// down to button size.
QImage ButtonIcon(const QColor& disc, const Drawing& symbol)
{
    return Draw(ButtonSize,
                [&](QPainter& p)
                {
                    p.setBrush(disc);
                    p.drawEllipse(QRectF(0, 0, ButtonSize, ButtonSize));
                    p.scale(ButtonSize / 100.0, ButtonSize / 100.0);
                    p.setBrush(Qt::white);
                    symbol(p);
                });
}

// A triangle pointing right, with softly rounded corners.
QPainterPath Triangle(double left, double top, double width, double height)
{
    QPainterPath path;
    path.addPolygon(QPolygonF({QPointF(left, top), QPointF(left + width, top + height / 2),
                               QPointF(left, top + height)}));
    path.closeSubpath();
    return path;
}

void FillRounded(QPainter& p, const QPainterPath& shape, double radius)
{
    // A round-joined outline of the same colour rounds the corners of any polygon.
    p.save();
    p.setPen(QPen(p.brush().color(), 2 * radius, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(shape);
    p.restore();
}

void Play(QPainter& p)
{
    // The centroid of a triangle lies a third of its width in, so it sits right of centre.
    const QPainterPath shape = Triangle(38, 28, 36, 44);
    FillRounded(p, shape, 3);
}

void Pause(QPainter& p)
{
    p.drawRoundedRect(QRectF(31, 27, 13, 46), 3, 3);
    p.drawRoundedRect(QRectF(56, 27, 13, 46), 3, 3);
}

void Stop(QPainter& p)
{
    p.drawRoundedRect(QRectF(30, 30, 40, 40), 4, 4);
}

void Next(QPainter& p)
{
    QPainterPath arrow;
    arrow.addPolygon(QPolygonF({QPointF(24, 44), QPointF(50, 44), QPointF(50, 28), QPointF(76, 50),
                                QPointF(50, 72), QPointF(50, 56), QPointF(24, 56)}));
    arrow.closeSubpath();
    FillRounded(p, arrow, 2.5);
}

void Forward(QPainter& p)
{
    FillRounded(p, Triangle(23, 30, 27, 40), 2.5);
    FillRounded(p, Triangle(50, 30, 27, 40), 2.5);
}

QImage LogoIcon()
{
    return Draw(300,
                [](QPainter& p)
                {
                    p.setBrush(QColor(0x41, 0xCD, 0x52));
                    // A tile with two cut corners, top left and bottom right.
                    p.drawPolygon(QPolygonF({QPointF(45, 0), QPointF(300, 0), QPointF(300, 255),
                                             QPointF(255, 300), QPointF(0, 300), QPointF(0, 45)}));

                    QPen letters(Qt::white, 26, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
                    p.setBrush(Qt::NoBrush);
                    p.setPen(letters);
                    // Q: an oval ring with a tail from its lower right.
                    p.drawEllipse(QRectF(48, 70, 120, 148));
                    letters.setCapStyle(Qt::SquareCap);
                    p.setPen(letters);
                    p.drawLine(QPointF(132, 186), QPointF(166, 232));
                    // t: a stem that bends right at the foot, and a cross bar.
                    letters.setCapStyle(Qt::FlatCap);
                    p.setPen(letters);
                    QPainterPath stem;
                    stem.moveTo(212, 78);
                    stem.lineTo(212, 196);
                    stem.quadTo(212, 218, 236, 218);
                    stem.lineTo(256, 218);
                    p.drawPath(stem);
                    p.drawLine(QPointF(182, 122), QPointF(256, 122));
                });
}

// The turn arrows fill pixels 2..17 across and 5..14 down; the right arrow is the
// exact mirror image of the left one.
QImage TurnLeftIcon()
{
    return Draw(TurnSize,
                [](QPainter& p)
                {
                    p.setBrush(TurnBlue);
                    p.drawPolygon(
                        QPolygonF({QPointF(2, 10), QPointF(9, 5), QPointF(9, 8), QPointF(18, 8),
                                   QPointF(18, 12), QPointF(9, 12), QPointF(9, 15)}));
                });
}

QImage TurnNoneIcon()
{
    return Draw(TurnSize,
                [](QPainter& p)
                {
                    p.setBrush(TurnBlue);
                    p.drawEllipse(QRectF(7, 7, 6, 6));
                });
}

bool Save(const QImage& image, const QDir& dir, const char* name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (PngWriter::Write(image, path))
        return true;
    std::fprintf(stderr, "formicula-icons: cannot write %s\n", qPrintable(path));
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: formicula-icons DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists())
    {
        std::fprintf(stderr, "formicula-icons: no directory %s\n", argv[1]);
        return 2;
    }
    const QImage left = TurnLeftIcon();
    const bool ok =
        Save(LogoIcon(), dir, "qt_icon.png") &&
        Save(ButtonIcon(QColor(0x32, 0xBE, 0xA6), Play), dir, "simulation_play.png") &&
        Save(ButtonIcon(QColor(0xE5, 0xAA, 0x17), Pause), dir, "simulation_pause.png") &&
        Save(ButtonIcon(QColor(0xE0, 0x4F, 0x5F), Stop), dir, "simulation_stop.png") &&
        Save(ButtonIcon(QColor(0x25, 0xB7, 0xD3), Next), dir, "simulation_next.png") &&
        Save(ButtonIcon(QColor(0x25, 0xB7, 0xD3), Forward), dir, "simulation_forward.png") &&
        Save(TurnNoneIcon(), dir, "turn_none.png") && Save(left, dir, "turn_left.png") &&
        Save(left.mirrored(true, false), dir, "turn_right.png");
    return ok ? 0 : 1;
}
