#include "convert/id3tag.h"

#include "convert/applicationerror.h"
#include "convert/paths.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <unistd.h>

namespace Id3Tag {

namespace {

// The largest MP3 file tagged: it is held in memory while the tag is put in.
constexpr qint64 MaxMp3Bytes = 1024 * 1024 * 1024;

[[noreturn]] void Fail(const QString& reason)
{
    throw tp::ApplicationError(QStringLiteral("the tag could not be written: ") + reason);
}

TagLib::String Utf8(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// Replaces the frames with this id by one with the text, or by none when it is empty.
void SetTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const QString& text)
{
    tag.removeFrames(id);
    if (text.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(Utf8(text));
    tag.addFrame(frame);
}

// The lyrics' language as the frames take it: "XXX" when it is not known.
TagLib::ByteVector Language(const MidiText::Texts& texts)
{
    return texts.language.size() == 3 ? TagLib::ByteVector(texts.language.toLatin1().constData(), 3)
                                      : TagLib::ByteVector("XXX", 3);
}

void SetLyrics(TagLib::ID3v2::Tag& tag, const MidiText::Texts& texts)
{
    tag.removeFrames("USLT");
    if (texts.lyrics.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setLanguage(Language(texts));
    frame->setText(Utf8(texts.lyrics));
    tag.addFrame(frame);
}

// One entry a syllable at its time; a syllable that starts a line begins with a line break,
// one that starts a paragraph with two, so the entries joined read as the lyrics.
void SetSynchronizedLyrics(TagLib::ID3v2::Tag& tag, const MidiText::Texts& texts)
{
    tag.removeFrames("SYLT");
    if (texts.syllables.isEmpty())
        return;
    TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList entries;
    for (const MidiText::Syllable& syllable : texts.syllables) {
        const QString breaks = syllable.before == MidiText::Break::Paragraph
                                   ? QStringLiteral("\n\n")
                               : syllable.before == MidiText::Break::Line ? QStringLiteral("\n")
                                                                          : QString();
        entries.append({syllable.milliseconds, Utf8(breaks + syllable.text)});
    }
    auto* frame = new TagLib::ID3v2::SynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setLanguage(Language(texts));
    frame->setTimestampFormat(TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds);
    frame->setType(TagLib::ID3v2::SynchronizedLyricsFrame::Lyrics);
    frame->setSynchedText(entries);
    tag.addFrame(frame);
}

void SetComment(TagLib::ID3v2::Tag& tag, const MidiText::Texts& texts)
{
    tag.removeFrames("COMM");
    if (texts.comment.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    frame->setLanguage(Language(texts));
    frame->setText(Utf8(texts.comment));
    tag.addFrame(frame);
}

void SetUserText(TagLib::ID3v2::Tag& tag, const QString& description, const QString& value)
{
    const TagLib::String name = Utf8(description);
    while (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, name))
        tag.removeFrame(old);
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
    frame->setDescription(name);
    frame->setText(Utf8(value));
    tag.addFrame(frame);
}

// The file's permissions in Qt's flags, owner and user alike.
QFileDevice::Permissions PermissionsOf(mode_t mode)
{
    const unsigned owner = (mode & 0700) >> 6;
    return QFileDevice::Permissions::fromInt(
        int((owner << 12) | (owner << 8) | ((mode & 070) << 1) | (mode & 07)));
}

// Read through the path's bytes, which Qt's file classes cannot all name.
QByteArray ReadMp3(const QString& path, QFileDevice::Permissions& permissions)
{
    struct stat facts
    {
    };
    const QByteArray encoded = Platform::EncodePath(path);
    if (path.isEmpty() || ::stat(encoded.constData(), &facts) != 0)
        Fail(QStringLiteral("the file was not found"));
    // Checked before opening: opening a named pipe would wait for a writer.
    if (!S_ISREG(facts.st_mode))
        Fail(QStringLiteral("it is not a regular file"));
    if (facts.st_size > MaxMp3Bytes)
        Fail(QStringLiteral("the file is too large"));
    permissions = PermissionsOf(facts.st_mode);
    QFile file;
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0 ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (descriptor >= 0)
            ::close(descriptor);
        Fail(QStringLiteral("the file cannot be read (") +
             QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char(')'));
    }
    QByteArray bytes = file.read(MaxMp3Bytes);
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("the file cannot be read (") + file.errorString() + QLatin1Char(')'));
    return bytes;
}

} // namespace

void Write(const QString& mp3Path, const MidiText::Texts& texts, const QString& fallbackTitle,
           const UserTexts& userTexts)
{
    // TagLib works on a copy in memory; the file itself is replaced only once the whole tagged
    // copy is on disk.
    QFileDevice::Permissions permissions;
    TagLib::ByteVectorStream stream([&] {
        const QByteArray bytes = ReadMp3(mp3Path, permissions);
        return TagLib::ByteVector(bytes.constData(), uint(bytes.size()));
    }());
    TagLib::MPEG::File mpeg(&stream, TagLib::ID3v2::FrameFactory::instance());
    if (!mpeg.isValid() || mpeg.firstFrameOffset() < 0)
        Fail(QStringLiteral("it is not an MP3 file"));

    TagLib::ID3v2::Tag& tag = *mpeg.ID3v2Tag(true);
    SetTextFrame(tag, "TIT2", texts.title.isEmpty() ? fallbackTitle : texts.title);
    SetTextFrame(tag, "TPE1", texts.artist);
    SetTextFrame(tag, "TCOP", texts.copyright);
    SetComment(tag, texts);
    SetLyrics(tag, texts);
    SetSynchronizedLyrics(tag, texts);
    for (const auto& [description, value] : userTexts)
        SetUserText(tag, description, value);
    if (!mpeg.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate))
        Fail(QStringLiteral("the tag could not be made"));

    if (::access(Platform::EncodePath(mp3Path).constData(), W_OK) != 0)
        Fail(QStringLiteral("the file is read-only"));
    const TagLib::ByteVector& tagged = *stream.data();
    try {
        Paths::WriteFileAtomically(QByteArray(tagged.data(), qsizetype(tagged.size())), mp3Path,
                                   permissions);
    } catch (const tp::ApplicationError& error) {
        Fail(QStringLiteral("the file could not be saved (") + error.description() +
             QLatin1Char(')'));
    }
}

} // namespace Id3Tag
