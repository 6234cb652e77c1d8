// Writes the sample songs that are placed beside the program: short arrangements of
// public-domain melodies, each with a melody, an accompaniment, a bass line and drums.
//
//   make-samples <folder>     e.g. make-samples resources/Samples

#include "smf/smfwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTextStream>
#include <cmath>

namespace {

constexpr int Tpq = 480;

int Ticks(double beats)
{
    return int(std::lround(beats * Tpq));
}

int PitchClass(QChar letter, const QString& accidental)
{
    static const int natural[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int pitch = natural[letter.unicode() - u'A'];
    if (accidental == QLatin1String("#"))
        ++pitch;
    else if (accidental == QLatin1String("b"))
        --pitch;
    return (pitch + 12) % 12;
}

// A melody written as "E4:1 F#4:0.5 R:2 ...": note, octave and length in beats (1 when left
// out); R is a rest.
QList<Smf::Note> Melody(const QString& text, int startTick, int velocity, int transpose = 0)
{
    static const QRegularExpression note(
        QStringLiteral("^(?:([A-G])([#b]?)(-?\\d)|R)(?::([0-9.]+))?$"));
    QList<Smf::Note> notes;
    double beat = 0;
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& token : tokens) {
        const QRegularExpressionMatch match = note.match(token);
        if (!match.hasMatch())
            qFatal("Bad note: %s", qPrintable(token));
        const double length = match.captured(4).isEmpty() ? 1.0 : match.captured(4).toDouble();
        if (!match.captured(1).isEmpty()) {
            const int key = (match.captured(3).toInt() + 1) * 12 +
                            PitchClass(match.captured(1).at(0), match.captured(2)) + transpose;
            // A little space between notes keeps repeated notes apart.
            notes.append(
                {startTick + Ticks(beat), std::max(Ticks(length) - 30, 60), key, velocity});
        }
        beat += length;
    }
    return notes;
}

struct Chord
{
    double start = 0;
    double length = 0;
    QList<int> pitchClasses;
};

// Chords written as "C:4 Am:2 G7:2": root, quality (m, 7, m7, maj7) and length in beats.
QList<Chord> Chords(const QString& text)
{
    static const QRegularExpression chord(
        QStringLiteral("^([A-G])([#b]?)(m7|maj7|m|7)?(?::([0-9.]+))?$"));
    QList<Chord> chords;
    double beat = 0;
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& token : tokens) {
        const QRegularExpressionMatch match = chord.match(token);
        if (!match.hasMatch())
            qFatal("Bad chord: %s", qPrintable(token));
        const int root = PitchClass(match.captured(1).at(0), match.captured(2));
        const QString quality = match.captured(3);
        QList<int> intervals{
            0,
            quality.startsWith(QLatin1Char('m')) && !quality.startsWith(QLatin1String("maj")) ? 3
                                                                                              : 4,
            7};
        if (quality == QLatin1String("7") || quality == QLatin1String("m7"))
            intervals.append(10);
        else if (quality == QLatin1String("maj7"))
            intervals.append(11);
        Chord made;
        made.start = beat;
        made.length = match.captured(4).isEmpty() ? 4.0 : match.captured(4).toDouble();
        for (const int interval : intervals)
            made.pitchClasses.append((root + interval) % 12);
        chords.append(made);
        beat += made.length;
    }
    return chords;
}

// Close voicing between F3 and E4.
QList<int> Voicing(const Chord& chord)
{
    QList<int> keys;
    for (const int pitchClass : chord.pitchClasses) {
        int key = 48 + pitchClass;
        if (key < 53)
            key += 12;
        keys.append(key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

enum class Accompaniment { Sustained, Arpeggio, Beats };

QList<Smf::Note> Accompany(const QList<Chord>& chords, Accompaniment style, int velocity)
{
    QList<Smf::Note> notes;
    for (const Chord& chord : chords) {
        const QList<int> keys = Voicing(chord);
        const int start = Ticks(chord.start);
        switch (style) {
        case Accompaniment::Sustained:
            for (const int key : keys)
                notes.append({start, Ticks(chord.length) - 20, key, velocity});
            break;
        case Accompaniment::Arpeggio: {
            const QList<int> pattern{keys[0], keys[1], keys[2],
                                     keys[1] + 12 > 76 ? keys[1] : keys[1] + 12};
            const int steps = int(chord.length * 2);
            for (int step = 0; step < steps; ++step)
                notes.append({start + step * Tpq / 2, Tpq - 40, pattern[step % pattern.size()],
                              velocity - (step % 2 ? 12 : 0)});
            break;
        }
        case Accompaniment::Beats:
            for (int beat = 0; beat < int(chord.length); ++beat)
                for (const int key : keys)
                    notes.append(
                        {start + beat * Tpq, Tpq / 2, key, velocity - (beat == 0 ? 0 : 14)});
            break;
        }
    }
    return notes;
}

// Root on the chord's first beat, the fifth halfway through a long chord.
QList<Smf::Note> Bass(const QList<Chord>& chords, int beatsPerBar, int velocity)
{
    QList<Smf::Note> notes;
    for (const Chord& chord : chords) {
        const int root = 36 + chord.pitchClasses[0];
        const int fifth = 36 + chord.pitchClasses[2] < root ? 48 + chord.pitchClasses[2]
                                                            : 36 + chord.pitchClasses[2];
        const int start = Ticks(chord.start);
        if (chord.length >= 4 && beatsPerBar == 4) {
            notes.append({start, Ticks(2) - 40, root, velocity});
            notes.append({start + Ticks(2), Ticks(chord.length - 2) - 40,
                          fifth - 12 >= 36 ? fifth - 12 : fifth, velocity - 10});
        } else {
            notes.append({start, Ticks(chord.length) - 40, root, velocity});
        }
    }
    return notes;
}

enum class Groove { Rock, Waltz, Gentle, Swing };

QList<Smf::Note> Drums(Groove groove, int bars, int beatsPerBar)
{
    constexpr int kick = 36, snare = 38, sideStick = 37, closedHat = 42, pedalHat = 44, ride = 51,
                  crash = 49;
    QList<Smf::Note> notes;
    auto hit = [&](double beat, int key, int velocity) {
        notes.append({Ticks(beat), Tpq / 4, key, velocity});
    };
    hit(0, crash, 100);
    for (int bar = 0; bar < bars; ++bar) {
        const double first = bar * beatsPerBar;
        switch (groove) {
        case Groove::Rock:
            for (int eighth = 0; eighth < beatsPerBar * 2; ++eighth)
                hit(first + eighth * 0.5, closedHat, eighth % 2 ? 60 : 80);
            hit(first, kick, 105);
            hit(first + 2, kick, 95);
            hit(first + 2.5, kick, 70);
            hit(first + 1, snare, 95);
            hit(first + 3, snare, 100);
            break;
        case Groove::Waltz:
            hit(first, kick, 95);
            hit(first + 1, closedHat, 70);
            hit(first + 2, closedHat, 70);
            hit(first + 2, sideStick, 60);
            break;
        case Groove::Gentle:
            hit(first, kick, 80);
            for (int beat = 0; beat < beatsPerBar; ++beat)
                hit(first + beat, pedalHat, beat == 0 ? 60 : 45);
            hit(first + 2, sideStick, 55);
            break;
        case Groove::Swing:
            for (int beat = 0; beat < beatsPerBar; ++beat) {
                hit(first + beat, ride, 85);
                if (beat % 2)
                    hit(first + beat + 2.0 / 3, ride, 60);
            }
            hit(first, kick, 90);
            hit(first + 2, kick, 80);
            hit(first + 1, pedalHat, 70);
            hit(first + 3, pedalHat, 70);
            hit(first + 3, snare, 75);
            break;
        }
    }
    return notes;
}

struct Piece
{
    QString fileName;
    Smf::Song song;
};

// The melody track (the first) opens with a pickup; everything else starts on the first full
// bar.
void AfterPickup(Smf::Song& song, double beats)
{
    for (qsizetype track = 1; track < song.tracks.size(); ++track)
        for (Smf::Note& note : song.tracks[track].notes)
            note.startTick += Ticks(beats);
}

Smf::Song Song(int beatsPerMinute)
{
    Smf::Song song;
    song.ticksPerQuarter = Tpq;
    song.tempos = {Smf::Tempo{0, 60000000 / beatsPerMinute}};
    return song;
}

Piece OdeToJoy()
{
    const QString phraseA = QStringLiteral("E4 E4 F4 G4  G4 F4 E4 D4  C4 C4 D4 E4");
    const QString melody =
        phraseA + QStringLiteral(" E4:1.5 D4:0.5 D4:2 ") + phraseA +
        QStringLiteral(" D4:1.5 C4:0.5 C4:2 "
                       "D4 D4 E4 C4  D4 E4:0.5 F4:0.5 E4 C4  D4 E4:0.5 F4:0.5 E4 D4  C4 D4 G3:2 ") +
        phraseA + QStringLiteral(" D4:1.5 C4:0.5 C4:2");
    const QList<Chord> chords = Chords(QStringLiteral(
        "C:4 G:4 C:4 G:4  C:4 G:4 C:4 G:2 C:2  G:4 G7:2 C:2 G7:2 C:2 C:2 G:2  C:4 G:4 C:4 G:2 "
        "C:2"));
    Smf::Song song = Song(126);
    song.tracks = {
        {0, 56, QStringLiteral("Trumpet"), Melody(melody, 0, 100, 12)},
        {1, 48, QStringLiteral("Strings"), Accompany(chords, Accompaniment::Sustained, 62)},
        {2, 0, QStringLiteral("Piano"), Accompany(chords, Accompaniment::Beats, 70)},
        {3, 33, QStringLiteral("Bass"), Bass(chords, 4, 95)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Rock, 16, 4)},
    };
    return {QStringLiteral("Ode to Joy.mid"), song};
}

Piece Greensleeves()
{
    const QString melody = QStringLiteral(
        "A4  C5:2 D5  E5:1.5 F5:0.5 E5  D5:2 B4  G4:1.5 A4:0.5 B4  C5:2 A4  A4:1.5 G#4:0.5 A4 "
        " B4:2 G#4  E4:2 A4 "
        " C5:2 D5  E5:1.5 F5:0.5 E5  D5:2 B4  G4:1.5 A4:0.5 B4  C5:1.5 B4:0.5 A4 "
        " G#4:1.5 F#4:0.5 G#4  A4:6");
    const QList<Chord> chords = Chords(QStringLiteral(
        "Am:3 C:3 G:3 Em:3 Am:3 E:3 E:3 Am:3  Am:3 C:3 G:3 Em:3 Am:3 E:3 Am:3 Am:3"));
    Smf::Song song = Song(96);
    song.tracks = {
        {0, 73, QStringLiteral("Flute"), Melody(melody, 0, 100)},
        {1, 24, QStringLiteral("Guitar"), Accompany(chords, Accompaniment::Arpeggio, 72)},
        {2, 42, QStringLiteral("Cello"), Bass(chords, 3, 88)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Waltz, 16, 3)},
    };
    AfterPickup(song, 1);
    return {QStringLiteral("Greensleeves.mid"), song};
}

Piece Twinkle()
{
    const QString a = QStringLiteral("C4 C4 G4 G4  A4 A4 G4:2  F4 F4 E4 E4  D4 D4 C4:2 ");
    const QString b = QStringLiteral("G4 G4 F4 F4  E4 E4 D4:2 ");
    const QString melody = a + b + b + a;
    const QList<Chord> chords = Chords(QStringLiteral("C:4 F:2 C:2 F:2 C:2 G:2 C:2 "
                                                      "C:2 F:2 C:2 G:2 C:2 F:2 C:2 G:2 "
                                                      "C:4 F:2 C:2 F:2 C:2 G:2 C:2"));
    Smf::Song song = Song(100);
    song.tracks = {
        {0, 10, QStringLiteral("Music Box"), Melody(melody, 0, 105, 12)},
        {1, 0, QStringLiteral("Piano"), Accompany(chords, Accompaniment::Arpeggio, 68)},
        {2, 89, QStringLiteral("Warm Pad"), Accompany(chords, Accompaniment::Sustained, 50)},
        {3, 32, QStringLiteral("Bass"), Bass(chords, 4, 85)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Gentle, 12, 4)},
    };
    return {QStringLiteral("Twinkle Twinkle Little Star.mid"), song};
}

Piece FrereJacques()
{
    // Sung as a round: the second voice enters two bars after the first.
    const QString melody =
        QStringLiteral("C4 D4 E4 C4  C4 D4 E4 C4  E4 F4 G4:2  E4 F4 G4:2 "
                       "G4:0.5 A4:0.5 G4:0.5 F4:0.5 E4 C4  G4:0.5 A4:0.5 G4:0.5 F4:0.5 E4 C4 "
                       " C4 G3 C4:2  C4 G3 C4:2");
    const QList<Chord> chords =
        Chords(QStringLiteral("C:4 C:4 C:4 C:4 C:4 C:4 G:2 C:2 G:2 C:2 G:2 C:2 G:2 C:2"));
    Smf::Song song = Song(112);
    song.tracks = {
        {0, 71, QStringLiteral("Clarinet"), Melody(melody, 0, 100, 12)},
        {1, 68, QStringLiteral("Oboe"), Melody(melody, Ticks(8), 92, 12)},
        {2, 46, QStringLiteral("Harp"), Accompany(chords, Accompaniment::Arpeggio, 64)},
        {3, 70, QStringLiteral("Bassoon"), Bass(chords, 4, 90)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Rock, 10, 4)},
    };
    return {QStringLiteral("Frere Jacques.mid"), song};
}

Piece AmazingGrace()
{
    const QString melody = QStringLiteral(
        "D4  G4:2 B4:0.5 G4:0.5  B4:2 A4  G4:2 E4  D4:2 D4  G4:2 B4:0.5 G4:0.5  B4:2 A4 "
        " D5:3  D5:2 B4  D5:2 B4:0.5 G4:0.5  B4:2 A4  G4:2 E4  D4:2 D4  G4:2 B4:0.5 G4:0.5 "
        " B4:2 A4  G4:6");
    const QList<Chord> chords =
        Chords(QStringLiteral("G:3 G:3 C:3 G:3 G:3 G:3 D:3 G:3  G:3 G7:3 C:3 G:3 G:3 D:3 G:3 G:3"));
    Smf::Song song = Song(76);
    song.tracks = {
        {0, 22, QStringLiteral("Harmonica"), Melody(melody, 0, 96)},
        {1, 19, QStringLiteral("Organ"), Accompany(chords, Accompaniment::Sustained, 58)},
        {2, 52, QStringLiteral("Choir"), Accompany(chords, Accompaniment::Sustained, 40)},
        {3, 32, QStringLiteral("Bass"), Bass(chords, 3, 85)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Waltz, 16, 3)},
    };
    AfterPickup(song, 1);
    return {QStringLiteral("Amazing Grace.mid"), song};
}

Piece Saints()
{
    const QString melody = QStringLiteral(
        "R C4 E4 F4  G4:4  R C4 E4 F4  G4:4  R C4 E4 F4  G4:2 E4:2  C4:2 E4:2  D4:4 "
        " R E4 E4 D4  C4:3 C4  E4:2 G4:2  G4 F4:3  R E4 F4 G4  E4:2 C4:2  D4:2 D4:2  C4:4");
    const QList<Chord> chords = Chords(
        QStringLiteral("C:4 C:4 C:4 C:4 C:4 C:4 C:4 G7:4  C:4 C:4 C7:4 F:4 C:4 C:2 Am:2 G7:4 C:4"));
    Smf::Song song = Song(150);
    song.tracks = {
        {0, 61, QStringLiteral("Brass"), Melody(melody, 0, 105, 12)},
        {1, 65, QStringLiteral("Alto Sax"), Melody(melody, 0, 72)},
        {2, 0, QStringLiteral("Piano"), Accompany(chords, Accompaniment::Beats, 72)},
        {3, 57, QStringLiteral("Trombone"), Bass(chords, 4, 90)},
        {9, 0, QStringLiteral("Drums"), Drums(Groove::Swing, 16, 4)},
    };
    return {QStringLiteral("When the Saints Go Marching In.mid"), song};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (arguments.size() != 2) {
        err << "usage: make-samples <folder>\n";
        return 2;
    }
    const QDir folder(arguments.at(1));
    if (!QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }
    for (const Piece& piece :
         {OdeToJoy(), Greensleeves(), Twinkle(), FrereJacques(), AmazingGrace(), Saints()}) {
        const QString path = folder.filePath(piece.fileName);
        if (!Smf::Write(piece.song, path)) {
            err << "cannot write " << path << "\n";
            return 1;
        }
        QTextStream(stdout) << path << ": "
                            << QString::number(Smf::DurationSeconds(piece.song), 'f', 1) << " s\n";
    }
    return 0;
}
