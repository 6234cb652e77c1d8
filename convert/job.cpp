#include "convert/job.h"

#include "convert/applicationerror.h"
#include "convert/paths.h"
#include "convert/platform.h"
#include "convert/staging.h"
#include "convert/workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Conversion {

namespace {

bool IsWrittenFile(const QString& path)
{
    struct stat facts
    {
    };
    return ::stat(Platform::EncodePath(path).constData(), &facts) == 0 && S_ISREG(facts.st_mode) &&
           facts.st_size > 0;
}

QString Absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

QString PartialPath(const QString& path, QStringView extension)
{
    // Short and independent of the final name, so that a final name at the length limit still
    // has a temporary one; hidden, so that file managers do not show a file being written.
    const quint64 random = QRandomGenerator::system()->generate64();
    return Paths::FolderOfPath(path) + QStringLiteral(".tunepress-") + QString::number(random, 36) +
           QLatin1Char('.') + extension.toString() + QStringLiteral(".part");
}

Job::Job(Request request)
    : m_request(std::move(request)),
      // Named readably: the renderer is told the WAV path as text, which holds no stray byte.
      m_wav(WavPath(m_request.workFolder, Platform::DisplayPath(BaseName(m_request.source)))),
      m_partial(PartialPath(m_request.mp3Path))
{}

Job::~Job()
{
    if (!m_finished) {
        Paths::DeleteFileQuiet(m_partial);
        Paths::DeleteFileQuiet(m_wav);
        for (const auto& [partial, target] : std::as_const(m_companions))
            Paths::DeleteFileQuiet(partial);
    }
}

void Job::clearPartialMp3()
{
    Paths::DeleteFileQuiet(m_partial);
}

void Job::render(const QString& program, const Runner::Options& wait)
{
    // A source that is not a readable file is not handed to the renderer: there is nothing to
    // render, and a named pipe would never answer.
    m_facts.sourceProblem = SourceProblem(m_request.source);
    if (!m_facts.sourceProblem.isEmpty())
        return;
    Runner::RunAndWait(
        Staging::RendererCommand(program, m_request.workFolder, m_request.source, m_wav), wait,
        &m_facts.rendered);
    m_facts.wavWriteError = WriteErrorIn(m_facts.rendered, m_wav);
    m_facts.wav = InspectWav(m_wav);
}

bool Job::renderedMusic() const
{
    return RenderFailure(m_facts).isEmpty();
}

void Job::encode(const QString& program, int bitrate, const Runner::Options& wait)
{
    Workspace::NoteOutsideFile(m_request.workFolder, m_partial);
    // The renderer rendered with headroom: the encoder restores its own level, lowered only as
    // far as the peak asks.
    Runner::RunAndWait(Staging::EncoderCommand(program, bitrate, m_wav, m_partial,
                                               Loudness::EncoderScale(m_facts.wav.peak)),
                       wait, &m_facts.encoded);
    m_facts.mp3Written = IsWrittenFile(m_partial);
}

void Job::removeWav()
{
    Paths::DeleteFileQuiet(m_wav);
}

void Job::renderIntoEncoder(const QString& renderer, const QString& encoder, int bitrate,
                            const std::atomic<bool>* cancel, const std::function<void()>& rendered)
{
    m_facts.piped = true;
    m_facts.sourceProblem = SourceProblem(m_request.source);
    if (!m_facts.sourceProblem.isEmpty())
        return;
    Workspace::NoteOutsideFile(m_request.workFolder, m_partial);
    Loudness::Settings level{m_request.loudness, m_request.workFolder, m_request.heldInMemory};
    level.encoderLossLu = Loudness::EncoderLoss(bitrate);
    Loudness::Leveller leveller(level);
    // A levelled song's loudness is the target: the encoder's own figure for it would say
    // nothing, and working it out costs a few per cent of the encoder's time.
    const bool gainAnalysis = !m_request.loudness.has_value();
    const Runner::Piped piped = Runner::RunPiped(
        Staging::RendererCommand(renderer, m_request.workFolder, m_request.source, QString(), true),
        Staging::EncoderCommand(encoder, bitrate, QString(), m_partial, 1.0, gainAnalysis),
        leveller, cancel, rendered);
    m_facts.rendered = piped.producer;
    m_facts.encoded = piped.consumer;
    m_facts.wav = leveller.wavFacts();
    m_level = leveller.result();
    m_facts.finishError = m_level.error;
    m_facts.cancelled = piped.cancelled;
    m_facts.mp3Written = IsWrittenFile(m_partial);
}

void Job::finishWith(const std::function<void(const QString& partialMp3)>& step)
{
    if (!Judge(m_facts).isEmpty())
        return;
    try {
        step(m_partial);
    } catch (const tp::ApplicationError& error) {
        m_facts.finishError = error.description();
    } catch (const std::exception& error) {
        m_facts.finishError = QString::fromLocal8Bit(error.what());
    }
}

void Job::writeCompanion(const QString& path, const QByteArray& contents)
{
    const QString partial = PartialPath(path, QFileInfo(path).suffix());
    Workspace::NoteOutsideFile(m_request.workFolder, partial);
    m_companions.append({partial, path});
    // Made by its bytes: QFile names a file as UTF-8 text, which cannot hold every byte of a
    // folder's name.
    const int descriptor = ::open(Platform::EncodePath(partial).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    QFile file;
    if (descriptor < 0)
        throw tp::ApplicationError(QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                                   QString::fromLocal8Bit(std::strerror(errno)));
    if (!file.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        ::close(descriptor);
    if (!file.isOpen() || file.write(contents) != contents.size() || !file.flush())
        throw tp::ApplicationError(QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                                   file.errorString());
}

Outcome Job::finish()
{
    m_finished = true;
    Outcome outcome;
    outcome.facts = m_facts;
    outcome.level = m_level;
    outcome.reason = Judge(m_facts);
    // The files that go with the MP3 file take their names first: should the MP3 file then not
    // take its name, they are removed again, and no file of a failed entry is left.
    QStringList placed;
    for (const auto& [partial, target] : std::as_const(m_companions)) {
        if (!outcome.reason.isEmpty())
            break;
        try {
            Paths::PutInPlace(partial, target);
            placed.append(target);
        } catch (const tp::ApplicationError& error) {
            outcome.reason = QStringLiteral("Cannot write ") + target + QStringLiteral(": ") +
                             error.description();
        }
    }
    if (outcome.reason.isEmpty()) {
        // Replaces an earlier file of that name in one step: whoever looks sees the old file
        // or the new one, never a part of either.
        try {
            Paths::PutInPlace(m_partial, m_request.mp3Path);
            outcome.mp3 = m_request.mp3Path;
        } catch (const tp::ApplicationError& error) {
            outcome.reason =
                QStringLiteral("the MP3 file could not be put in place: ") + error.description();
        }
    }
    if (!outcome.converted()) {
        Paths::DeleteFileQuiet(m_partial);
        for (const auto& [partial, target] : std::as_const(m_companions))
            Paths::DeleteFileQuiet(partial);
        for (const QString& path : std::as_const(placed))
            Paths::DeleteFileQuiet(path);
        // The tools name the file they wrote; the user knows it by its final name.
        outcome.reason.replace(Absolute(m_partial), Absolute(m_request.mp3Path));
    }
    return outcome;
}

} // namespace Conversion
