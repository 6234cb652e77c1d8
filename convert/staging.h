#pragma once

#include "convert/runner.h"
#include "convert/workspace.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The renderer, its SoundFont and the encoder, staged in the workspace of one run, and the
// command lines the run starts them with. The installed programs and SoundFont are the
// resources that staging copies.
namespace Staging {

enum class Resource { Renderer = 101, SoundFont = 102, Encoder = 103 };

// Names of the staged files in the workspace.
QString StagedName(Resource resource);
QString ConfigName();
// The four staged files in the order they are removed: renderer, configuration, SoundFont,
// encoder.
QStringList StagedNames();

// The one line of the renderer's configuration: the staged SoundFont by its full path.
QString ConfigLine(const QString& tempFolder);

// The installed file that a resource is copied from. Throws tp::ApplicationError, naming the
// package to install, when there is none.
QString ResourceSource(Resource resource);
// The bytes of a resource, read from its installed file. Throws tp::ApplicationError.
QByteArray LoadResource(Resource resource);

// Whether a file's first bytes are those of a SoundFont 2 bank: a RIFF form "sfbk".
bool IsSoundFontHeader(QByteArrayView head);

// Where General MIDI SoundFonts are looked for, in order of preference.
QStringList SoundFontCandidates();
// The first candidate that is a readable SoundFont 2 bank, or "" when none is.
QString FindSoundFont(const QStringList& candidates);

// Writes a resource into the workspace, made first if need be, unless it is already there. A
// file there that belongs to someone else or that others can change is removed and written
// afresh; when it cannot be replaced, throws tp::ApplicationError. Empty bytes (a resource
// that failed to load) write nothing.
void StageResource(const QByteArray& bytes, Resource resource, Workspace& workspace);
// Rewrites timidity.cfg in the workspace, made first if need be. Throws tp::ApplicationError.
void WriteConfig(Workspace& workspace);
// The same for a configuration that names the given SoundFont where it is installed (through a
// link in the workspace), for a run that starts the installed renderer itself. The renderer
// reads its system configuration first, whose instrument mappings outrank a SoundFont line;
// with everyInstrument, every General MIDI program and drum of the SoundFont is mapped too,
// so that the sound is this SoundFont's whatever the system configuration says.
void WriteConfigFor(const QString& soundFont, Workspace& workspace, bool everyInstrument);

// The staged program's path when it, and for the renderer also its configuration and
// SoundFont, may be run: owned by this user and writable by nobody else. "" otherwise, so
// that a planted file is never started, and "" before the workspace is made.
QString RunnableProgram(Resource program, Workspace& workspace);

// The renderer's command: the MIDI file on standard input, so that no character of its name
// can be read as an option, an archive member or a command; RIFF WAVE to the WAV path, or to
// standard output when that is empty; the configuration in the folder only, and no personal
// configuration of the user.
Runner::Command RendererCommand(const QString& program, const QString& folder,
                                const QString& sourcePath, const QString& wavPath);
// The encoder's command: higher quality, stereo, a constant bitrate, the WAV path (standard
// input when empty) and the MP3 path.
Runner::Command EncoderCommand(const QString& program, int bitrate, const QString& wavPath,
                               const QString& mp3Path);

} // namespace Staging
