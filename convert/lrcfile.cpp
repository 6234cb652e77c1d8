#include "convert/lrcfile.h"

namespace LrcFile {

namespace {

// "[mm:ss.xx]", to the nearest hundredth of a second.
QString Stamp(quint32 milliseconds)
{
    const quint64 hundredths = (quint64(milliseconds) + 5) / 10;
    return QStringLiteral("[%1:%2.%3]")
        .arg(hundredths / 6000, 2, 10, QLatin1Char('0'))
        .arg(hundredths / 100 % 60, 2, 10, QLatin1Char('0'))
        .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

// A header's text on one line.
QString Header(const char* name, QString text)
{
    if (text.isEmpty())
        return QString();
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('[') + QLatin1String(name) + QLatin1Char(':') + text + QStringLiteral("]\n");
}

} // namespace

QString PathFor(const QString& mp3Path)
{
    QString path = mp3Path;
    if (path.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        path.chop(4);
    return path + QStringLiteral(".lrc");
}

QByteArray Contents(const MidiText::Texts& texts)
{
    const QList<MidiText::Line> lines = MidiText::Lines(texts.syllables);
    if (lines.isEmpty())
        return QByteArray();
    QString text = Header("ti", texts.title) + Header("ar", texts.artist);
    quint32 last = 0;
    for (const MidiText::Line& line : lines) {
        if (line.paragraph)
            text += Stamp(last + (line.start - std::min(last, line.start)) / 2) + QLatin1Char('\n');
        text += Stamp(line.start) + line.text + QLatin1Char('\n');
        last = line.last;
    }
    return text.toUtf8();
}

} // namespace LrcFile
