// Draws the program's nine icons. Run by hand after changing a drawing and commit the
// PNGs it writes: formicula-icons DIR. Shapes are drawn as geometry, not with fonts, so
// the output does not depend on what fonts a machine has.

#include "AtomicFile.h"
#include "PngWriter.h"

#include <QColor>
#include <QDir>
#include <QFile>
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
#include <memory>
#include <string>
#include <vector>

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

struct Icon
{
    const char* Name;
    QImage Image;
};
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
    const Icon icons[] = {
        {"qt_icon.png", LogoIcon()},
        {"simulation_play.png", ButtonIcon(QColor(0x32, 0xBE, 0xA6), Play)},
        {"simulation_pause.png", ButtonIcon(QColor(0xE5, 0xAA, 0x17), Pause)},
        {"simulation_stop.png", ButtonIcon(QColor(0xE0, 0x4F, 0x5F), Stop)},
        {"simulation_next.png", ButtonIcon(QColor(0x25, 0xB7, 0xD3), Next)},
        {"simulation_forward.png", ButtonIcon(QColor(0x25, 0xB7, 0xD3), Forward)},
        {"turn_none.png", TurnNoneIcon()},
        {"turn_left.png", left},
        {"turn_right.png", left.mirrored(true, false)},
    };
    // The icons replace the previous set together or not at all: a half-written set
    // would compile into the window unnoticed.
    try
    {
        std::vector<std::unique_ptr<AtomicFile>> files;
        std::vector<AtomicFile*> all;
        for (const Icon& icon : icons)
        {
            const std::string png = PngWriter::Encode(icon.Image);
            const std::string path =
                QFile::encodeName(dir.filePath(QString::fromLatin1(icon.Name))).toStdString();
            if (png.empty())
                throw AtomicFile::Failure("encode", path, "out of memory");
            files.push_back(std::make_unique<AtomicFile>(path));
            files.back()->Write(png);
            all.push_back(files.back().get());
        }
        AtomicFile::CommitAll(all);
    }
    catch (const AtomicFile::Failure& failure)
    {
        std::fprintf(stderr, "formicula-icons: %s\n", failure.what());
        return 1;
    }
    return 0;
}
