// Draws the pictures placed beside the program: the hand pointer HAND-M.CUR (Windows cursor
// format, hot spot on the fingertip), the reordering pointer drag.ico and the program icon
// tunepress-studio.png.
//
//   make-artwork <folder>     e.g. make-artwork resources

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <QtEndian>
#include <functional>

namespace {

// Pointers are drawn on a grid of 32 units at four times the size, then scaled down, which
// gives smooth edges.
constexpr int PointerSize = 32;
constexpr int Oversample = 4;

void AppendLittleEndian(QByteArray& bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

// One image in the icon and cursor file format: a 32-bit bottom-up bitmap with alpha, then
// the transparency mask. A cursor carries its hot spot in the directory entry.
QByteArray IconFile(const QImage& picture, bool cursor, QPoint hotSpot = {})
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();

    QByteArray bitmap;
    AppendLittleEndian(bitmap, 40, 4);
    AppendLittleEndian(bitmap, quint32(width), 4);
    AppendLittleEndian(bitmap, quint32(height * 2), 4); // colour rows and mask rows
    AppendLittleEndian(bitmap, 1, 2);
    AppendLittleEndian(bitmap, 32, 2);
    for (int field = 0; field < 6; ++field)
        AppendLittleEndian(bitmap, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            bitmap.append(char(qBlue(row[x])));
            bitmap.append(char(qGreen(row[x])));
            bitmap.append(char(qRed(row[x])));
            bitmap.append(char(qAlpha(row[x])));
        }
    }
    const int maskRowBytes = ((width + 31) / 32) * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray mask(maskRowBytes, '\0');
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        bitmap += mask;
    }

    QByteArray file;
    AppendLittleEndian(file, 0, 2);
    AppendLittleEndian(file, cursor ? 2 : 1, 2);
    AppendLittleEndian(file, 1, 2);
    file.append(char(width >= 256 ? 0 : width));
    file.append(char(height >= 256 ? 0 : height));
    file.append('\0'); // colour count
    file.append('\0');
    AppendLittleEndian(file, cursor ? quint32(hotSpot.x()) : 1, 2);
    AppendLittleEndian(file, cursor ? quint32(hotSpot.y()) : 32, 2);
    AppendLittleEndian(file, quint32(bitmap.size()), 4);
    AppendLittleEndian(file, 6 + 16, 4);
    return file + bitmap;
}

QImage DrawPointer(const std::function<void(QPainter&)>& draw)
{
    QImage large(PointerSize * Oversample, PointerSize * Oversample,
                 QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(Oversample, Oversample);
        draw(painter);
    }
    QImage small =
        large.scaled(PointerSize, PointerSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return small.convertToFormat(QImage::Format_ARGB32);
}

QPainterPath RoundedRect(qreal x, qreal y, qreal width, qreal height, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, width, height), radius, radius);
    return path;
}

// The fingertip of the pointing hand, where a click lands.
constexpr QPoint HandHotSpot{12, 1};

QImage Hand()
{
    return DrawPointer([](QPainter& painter) {
        const QPainterPath index = RoundedRect(10, 1, 5, 16, 2.5);
        const QPainterPath middle = RoundedRect(15, 9, 4.5, 10, 2.2);
        const QPainterPath ring = RoundedRect(19.5, 10, 4.5, 10, 2.2);
        const QPainterPath little = RoundedRect(24, 12, 4, 9, 2);
        const QPainterPath palm = RoundedRect(10, 15, 18, 13, 3.5);
        QPainterPath thumb = RoundedRect(-2.5, -6, 5, 12, 2.5);
        thumb = QTransform().translate(8.2, 19.5).rotate(-42).map(thumb);
        QPainterPath cuff = RoundedRect(11.5, 27, 15, 4, 1);

        const QPainterPath hand =
            index.united(middle).united(ring).united(little).united(palm).united(thumb);
        const QPen outline(Qt::black, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(outline);
        painter.setBrush(Qt::white);
        painter.drawPath(hand);
        painter.setBrush(QColor(0x2f, 0x6f, 0xde));
        painter.drawPath(cuff);
        // The gaps between the folded fingers.
        painter.setPen(QPen(Qt::black, 0.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(15, 10.5), QPointF(15, 16.5));
        painter.drawLine(QPointF(19.5, 11.5), QPointF(19.5, 17.5));
        painter.drawLine(QPointF(24, 13.5), QPointF(24, 18.5));
    });
}

// A double arrow through a list row: the entry under the pointer moves up or down. An icon
// pointer's hot spot is its centre.
QImage DragPointer()
{
    return DrawPointer([](QPainter& painter) {
        QPainterPath arrow;
        arrow.addPolygon(QPolygonF{QPointF(16, 1.5), QPointF(23, 9), QPointF(18, 9),
                                   QPointF(18, 23), QPointF(23, 23), QPointF(16, 30.5),
                                   QPointF(9, 23), QPointF(14, 23), QPointF(14, 9), QPointF(9, 9)});
        arrow.closeSubpath();
        painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::black);
        painter.drawPath(arrow);
        painter.setPen(Qt::NoPen);
        painter.drawPath(arrow);

        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(0x2f, 0x6f, 0xde));
        painter.drawRoundedRect(QRectF(4.5, 12.5, 23, 7), 2, 2);
        painter.setPen(QPen(QColor(255, 255, 255, 220), 1.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(8, 16), QPointF(24, 16));
    });
}

QPainterPath BeamedNotes()
{
    QPainterPath notes;
    const auto head = [&](QPointF centre) {
        QPainterPath ellipse;
        ellipse.addEllipse(QPointF(0, 0), 23, 16);
        notes.addPath(QTransform().translate(centre.x(), centre.y()).rotate(-22).map(ellipse));
    };
    head(QPointF(92, 178));
    head(QPointF(170, 160));
    notes.addRect(QRectF(104, 76, 10, 100));
    notes.addRect(QRectF(182, 58, 10, 100));
    notes.addPolygon(
        QPolygonF{QPointF(104, 76), QPointF(192, 58), QPointF(192, 84), QPointF(104, 102)});
    notes.closeSubpath();
    notes.setFillRule(Qt::WindingFill);
    return notes.simplified();
}

QImage ProgramIcon()
{
    constexpr int size = 256;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QPointF centre(size / 2.0, size / 2.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(centre + QPointF(0, 4), 120, 120);

    QLinearGradient disc(QPointF(20, 20), QPointF(236, 236));
    disc.setColorAt(0, QColor(0x5b, 0x4b, 0xf0));
    disc.setColorAt(1, QColor(0x12, 0xb0, 0xa6));
    painter.setBrush(disc);
    painter.drawEllipse(centre, 118, 118);

    // Grooves, as on a record.
    painter.setBrush(Qt::NoBrush);
    for (const int radius : {104, 92, 80, 68}) {
        painter.setPen(QPen(QColor(255, 255, 255, 34), 2));
        painter.drawEllipse(centre, radius, radius);
    }
    QRadialGradient shine(QPointF(90, 70), 120);
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(centre, 118, 118);

    const QPainterPath notes = BeamedNotes();
    painter.setBrush(QColor(0, 0, 0, 60));
    painter.drawPath(notes.translated(3, 5));
    painter.setBrush(Qt::white);
    painter.drawPath(notes);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray Png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: make-artwork <folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QList<std::pair<QString, QByteArray>> files{
        {QStringLiteral("HAND-M.CUR"), IconFile(Hand(), true, HandHotSpot)},
        {QStringLiteral("drag.ico"), IconFile(DragPointer(), false)},
        {QStringLiteral("tunepress-studio.png"), Png(ProgramIcon())},
    };
    for (const auto& [name, bytes] : files) {
        if (bytes.isEmpty() || !WriteFile(folder.filePath(name), bytes)) {
            err << "cannot write " << folder.filePath(name) << "\n";
            return 1;
        }
    }
    return 0;
}
