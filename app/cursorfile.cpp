#include "app/cursorfile.h"

#include "convert/errortrap.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

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
    // whose planes and bit-count fields hold the hot spot.
    constexpr int headerSize = 6;
    constexpr int entrySize = 16;
    if (bytes.size() < headerSize + entrySize ||
        qFromLittleEndian<quint16>(bytes.constData()) != 0 ||
        qFromLittleEndian<quint16>(bytes.constData() + 2) != 2 ||
        qFromLittleEndian<quint16>(bytes.constData() + 4) == 0)
        throw tp::ApplicationError(QStringLiteral("Invalid picture: ") + path);
    const int hotX = qFromLittleEndian<quint16>(bytes.constData() + headerSize + 4);
    const int hotY = qFromLittleEndian<quint16>(bytes.constData() + headerSize + 6);
    const QImage image = DecodeImage(bytes, "cur", path);
    return QCursor(QPixmap::fromImage(image), std::min(hotX, image.width() - 1),
                   std::min(hotY, image.height() - 1));
}

QCursor LoadIconPointer(const QString& path)
{
    return QCursor(QPixmap::fromImage(DecodeImage(ReadWhole(path), "ico", path)));
}
