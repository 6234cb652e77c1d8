#include "smfwriter.h"

#include <QFile>
#include <algorithm>
#include <map>

namespace Smf {

namespace {

void AppendBigEndian(QByteArray& bytes, std::uint32_t value, int size)
{
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
}

void AppendVariable(QByteArray& bytes, std::uint32_t value)
{
    char buffer[5];
    int count = 0;
    buffer[count++] = char(value & 0x7F);
    while ((value >>= 7) != 0)
        buffer[count++] = char((value & 0x7F) | 0x80);
    while (count > 0)
        bytes.append(buffer[--count]);
}

// Events of one track sorted by time; note-offs sort before note-ons at the same tick.
using Events = std::multimap<std::pair<int, int>, QByteArray>;

QByteArray Chunk(const Events& events)
{
    QByteArray body;
    int now = 0;
    for (const auto& [when, data] : events) {
        AppendVariable(body, std::uint32_t(when.first - now));
        body.append(data);
        now = when.first;
    }
    AppendVariable(body, 0);
    body.append("\xFF\x2F\x00", 3);
    QByteArray chunk("MTrk");
    AppendBigEndian(chunk, std::uint32_t(body.size()), 4);
    return chunk + body;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes.append(char(value));
    return bytes;
}

} // namespace

QByteArray Encode(const Song& song)
{
    QByteArray file("MThd");
    AppendBigEndian(file, 6, 4);
    AppendBigEndian(file, 1, 2);
    AppendBigEndian(file, std::uint32_t(song.tracks.size() + 1), 2);
    AppendBigEndian(file, std::uint32_t(song.ticksPerQuarter), 2);

    Events tempoTrack;
    for (const Tempo& tempo : song.tempos) {
        const int us = tempo.microsecondsPerQuarter;
        tempoTrack.insert(
            {{tempo.tick, 1},
             Bytes({0xFF, 0x51, 0x03, (us >> 16) & 0xFF, (us >> 8) & 0xFF, us & 0xFF})});
    }
    file += Chunk(tempoTrack);

    for (qsizetype index = 0; index < song.tracks.size(); ++index) {
        const Track& track = song.tracks[index];
        Events events;
        if (!track.name.isEmpty()) {
            QByteArray name = track.name.toUtf8();
            QByteArray meta = Bytes({0xFF, 0x03});
            AppendVariable(meta, std::uint32_t(name.size()));
            events.insert({{0, 0}, meta + name});
        }
        for (const Text& text : song.texts) {
            if (text.track != index)
                continue;
            QByteArray meta = Bytes({0xFF, text.type});
            AppendVariable(meta, std::uint32_t(text.bytes.size()));
            events.insert({{text.tick, 0}, meta + text.bytes});
        }
        if (track.channel != 9)
            events.insert({{0, 0}, Bytes({0xC0 | track.channel, track.program & 0x7F})});
        if (track.volume >= 0)
            for (const int controller : {7, 11})
                events.insert({{0, 0}, Bytes({0xB0 | track.channel, controller, track.volume})});
        for (const Note& note : track.notes) {
            events.insert({{note.startTick, 2},
                           Bytes({0x90 | track.channel, note.key & 0x7F, note.velocity & 0x7F})});
            events.insert({{note.startTick + note.lengthTicks, 1},
                           Bytes({0x80 | track.channel, note.key & 0x7F, 0})});
        }
        file += Chunk(events);
    }
    return file;
}

bool Write(const Song& song, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = Encode(song);
    return file.write(bytes) == bytes.size();
}

double DurationSeconds(const Song& song)
{
    int lastTick = 0;
    for (const Track& track : song.tracks)
        for (const Note& note : track.notes)
            lastTick = std::max(lastTick, note.startTick + note.lengthTicks);
    return SecondsAt(song, lastTick);
}

double SecondsAt(const Song& song, int tick)
{
    QList<Tempo> tempos = song.tempos;
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
    double seconds = 0;
    int from = 0;
    int us = 500000;
    for (const Tempo& tempo : tempos) {
        if (tempo.tick >= tick)
            break;
        seconds += double(tempo.tick - from) * us / 1e6 / song.ticksPerQuarter;
        from = tempo.tick;
        us = tempo.microsecondsPerQuarter;
    }
    return seconds + double(tick - from) * us / 1e6 / song.ticksPerQuarter;
}

Song Demo(double seconds, int seed)
{
    Song song;
    const int tpq = song.ticksPerQuarter;
    // 120 bpm for the first half, then 150 bpm.
    const double halfBeats = seconds / 2 / 0.5;
    const int changeTick = int(halfBeats * tpq);
    song.tempos = {Tempo{0, 500000}, Tempo{changeTick, 400000}};
    const int totalBeats = int(halfBeats + seconds / 2 / 0.4);

    static const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12};
    Track melody{0, 0, QStringLiteral("Piano"), {}};
    Track bass{1, 33, QStringLiteral("Bass"), {}};
    Track strings{2, 48, QStringLiteral("Strings"), {}};
    Track drums{9, 0, QStringLiteral("Drums"), {}};
    for (int beat = 0; beat < totalBeats; ++beat) {
        const int tick = beat * tpq;
        const int degree = scale[(beat * 3 + seed) % 8];
        melody.notes.append({tick, tpq - 20, 60 + degree, 100});
        if (beat % 2 == 0)
            bass.notes.append({tick, 2 * tpq - 20, 36 + scale[(beat / 2 + seed) % 8], 90});
        if (beat % 4 == 0)
            strings.notes.append({tick, 4 * tpq - 20, 55 + scale[(beat / 4 + seed) % 5], 70});
        drums.notes.append({tick, tpq / 4, beat % 2 == 0 ? 36 : 38, 110});
        drums.notes.append({tick + tpq / 2, tpq / 4, 42, 80});
    }
    song.tracks = {melody, bass, strings, drums};
    return song;
}

} // namespace Smf
