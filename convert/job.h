#pragma once

#include "convert/conversion.h"
#include "convert/loudness.h"
#include "convert/runner.h"

#include <QString>
#include <atomic>
#include <functional>

// The conversion of one MIDI file into one MP3 file, for any caller: the window, which runs its
// steps one by one between its own, and callers that run them all at once.
namespace Conversion {

struct Request
{
    QString source;
    // Where the MP3 file goes; it takes this name only once the entry is converted.
    QString mp3Path;
    // The folder of the run's own files (its workspace): the renderer's configuration, the
    // temporary WAV file, and a song held for levelling that outgrew memory.
    QString workFolder;
    // The loudness a conversion straight into the encoder brings the song to; none: the
    // renderer's own level, lowered only as far as it must be not to clip.
    std::optional<double> loudness = Loudness::DefaultTarget;
    // How much of a song held for levelling stays in memory before the rest goes to the work
    // folder.
    qint64 heldInMemory = Loudness::Settings().memoryLimit;
};

struct Outcome
{
    EntryFacts facts;
    // Why the entry was not converted, in plain words; "" when it was.
    QString reason;
    // The MP3 file written, "" when none was.
    QString mp3;
    // What levelling did, for a conversion straight into the encoder.
    Loudness::Result level;
    bool converted() const { return reason.isEmpty(); }
};

// One entry's conversion. The renderer writes the music as WAVE, the encoder makes the MP3 file
// under a hidden temporary name in the output folder, and only a converted entry's file takes
// the final name, replacing any earlier one there; a failed entry leaves the earlier file as
// it was and nothing of its own.
class Job
{
public:
    explicit Job(Request request);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    const Request& request() const { return m_request; }
    const QString& wavPath() const { return m_wav; }
    // The hidden name the encoder writes to.
    const QString& partialMp3Path() const { return m_partial; }
    // What levelling did, once the song went into the encoder.
    const Loudness::Result& level() const { return m_level; }

    // Step by step, each step throwing tp::ApplicationError when it cannot be done:
    // removes a file left at the temporary MP3 name;
    void clearPartialMp3();
    // renders the source to the WAV path with the renderer program (a source that is not a
    // readable file is not handed to it);
    void render(const QString& program, const Runner::Options& wait);
    // whether rendering gave music to encode;
    bool renderedMusic() const;
    // encodes the WAV file to the temporary MP3 name;
    void encode(const QString& program, int bitrate, const Runner::Options& wait);
    // removes the WAV file, before rendering one left there, after encoding the one made;
    void removeWav();
    // runs a last step on the encoded temporary file (such as writing a tag); a step that
    // throws fails the entry with its reason;
    void finishWith(const std::function<void(const QString& partialMp3)>& step);
    // writes a file that goes with the MP3 file (such as its lyrics) under a hidden temporary
    // name beside its final path, to take that name with the MP3 file and go with a failed
    // entry; throws tp::ApplicationError when it cannot be written;
    void writeCompanion(const QString& path, const QByteArray& contents);
    // judges the entry and puts a converted MP3, and the files that go with it, under their
    // final names; removes what a failed entry left.
    Outcome finish();

    // Renders straight into the encoder without a WAV file on disk, the song levelled on its
    // way (see Loudness::Leveller) and its leading rest kept: the renderer and encoder programs
    // given, the renderer's configuration in the request's work folder. Stops both tools when
    // cancel becomes true. Calls rendered, when given, the moment the renderer has ended and the
    // song is held whole, before it is levelled and encoded; the call may wait.
    void renderIntoEncoder(const QString& renderer, const QString& encoder, int bitrate,
                           const std::atomic<bool>* cancel = nullptr,
                           const std::function<void()>& rendered = {});

private:
    Request m_request;
    QString m_wav;
    QString m_partial;
    EntryFacts m_facts;
    // The files that go with the MP3 file: their temporary and their final paths.
    QList<std::pair<QString, QString>> m_companions;
    Loudness::Result m_level;
    bool m_finished = false;
};

// A hidden name for a file being written in the folder of the path, unlikely to be taken; it
// ends in ".<extension>.part".
QString PartialPath(const QString& path, QStringView extension = u"mp3");

} // namespace Conversion
