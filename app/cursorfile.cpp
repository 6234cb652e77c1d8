#include "app/cursorfile.h"

#include "convert/applicationerror.h"

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPixmap>

namespace {

QByteArray ReadWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw tp::ApplicationError(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") +
                                   file.errorString());
    return file.readAll();
}

QImage DecodeImage(const QByteArray& bytes, const char* format, const QString& path)
{
    QImage image = QImage::fromData(bytes, format);
    if (image.isNull())
        throw tp::ApplicationError(QStringLiteral("Invalid picture: ") + path);
    return image;
}

} // namespace

QCursor LoadCursorFile(const QString& path)
{
    const QByteArray bytes = ReadWhole(path);
    // The directory header: reserved 0, type 2 (cursor), image count; then the first entry,
    // whose planes and bit-count fields hold the hot spot. A stream rather than pointer
    // arithmetic, so that a short file fails the status check instead of being read past.
    QDataStream directory(bytes);
    directory.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0;
    quint8 width = 0, height = 0, colours = 0, entryReserved = 0;
    quint16 hotX = 0, hotY = 0;
    quint32 imageSize = 0, imageOffset = 0;
    directory >> reserved >> type >> count >> width >> height >> colours >> entryReserved >> hotX >>
        hotY >> imageSize >> imageOffset;
    if (directory.status() != QDataStream::Ok || reserved != 0 || type != 2 || count == 0)
        throw tp::ApplicationError(QStringLiteral("Invalid picture: ") + path);
    const QImage image = DecodeImage(bytes, "cur", path);
    return QCursor(QPixmap::fromImage(image), std::min<int>(hotX, image.width() - 1),
                   std::min<int>(hotY, image.height() - 1));
}

QCursor LoadIconPointer(const QString& path)
{
    return QCursor(QPixmap::fromImage(DecodeImage(ReadWhole(path), "ico", path)));
}
