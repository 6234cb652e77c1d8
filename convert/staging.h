#pragma once

#include "convert/runner.h"
#include "convert/workspace.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The renderer, its SoundFont and the encoder a run uses, where they are installed, the files
// a run's workspace holds for the renderer, and the command lines the run starts them with.
// The tools run where they are installed, so a temporary folder on a file system that forbids
// running programs (mounted noexec) serves as well as any.
namespace Staging {

enum class Resource { Renderer = 101, SoundFont = 102, Encoder = 103 };

// The renderer's configuration and the link to the SoundFont in the workspace.
QString ConfigName();
QString SoundFontLinkName();
// The files a run leaves in its workspace, in the order they are removed.
QStringList WorkspaceFiles();

// The one line of the renderer's configuration: the SoundFont link by its full path.
QString ConfigLine(const QString& tempFolder);

// The installed file of a resource. Throws tp::ApplicationError, naming the package to
// install, when there is none.
QString ResourceSource(Resource resource);
// Throws tp::ApplicationError, with the same words as a missing program, unless the installed
// program at the path is a file that may be run.
void CheckProgram(const QString& path, Resource program);

// Whether a file's first bytes are those of a SoundFont 2 bank: a RIFF form "sfbk".
bool IsSoundFontHeader(QByteArrayView head);

// Where General MIDI SoundFonts are looked for, in order of preference.
QStringList SoundFontCandidates();
// The first candidate that is a readable SoundFont 2 bank, or "" when none is.
QString FindSoundFont(const QStringList& candidates);

// Makes the workspace, first if need be, and its link to the SoundFont where it is installed,
// so that no character of the SoundFont's own path (a quote, a line break) reaches the
// renderer's configuration. Throws tp::ApplicationError.
void LinkSoundFont(const QString& soundFont, Workspace& workspace);
// Rewrites timidity.cfg in the workspace, made first if need be, naming the SoundFont link.
// The renderer reads its system configuration first, whose instrument mappings outrank a
// SoundFont line; with everyInstrument, every General MIDI program and drum of the SoundFont
// is mapped too, so that the sound is this SoundFont's whatever the system configuration says.
// Throws tp::ApplicationError.
void WriteConfig(Workspace& workspace, bool everyInstrument = false);
// Both: the link to the given SoundFont and a configuration that names it.
void WriteConfigFor(const QString& soundFont, Workspace& workspace, bool everyInstrument);
// The same in a folder of the workspace, for runs whose songs play with several SoundFonts.
void WriteConfigInto(const QString& soundFont, const QString& folder, bool everyInstrument);

// The installed renderer when the configuration and the SoundFont link it would read are this
// user's own and writable by nobody else; "" otherwise, and before the workspace is made, so
// that a planted configuration is never read.
QString RunnableRenderer(const QString& installed, Workspace& workspace);

// The renderer's command: the MIDI file on standard input, so that no character of its name
// can be read as an option, an archive member or a command; RIFF WAVE of 24-bit samples, with
// headroom (Loudness::RenderHeadroom times lower than its own level), to the WAV path, or to
// standard output when that is empty; the configuration in the folder only, and no personal
// configuration of the user. With keepLeadingRest, the silence before the first note is kept.
Runner::Command RendererCommand(const QString& program, const QString& folder,
                                const QString& sourcePath, const QString& wavPath,
                                bool keepLeadingRest = false);
// The encoder's command: higher quality, stereo, a constant bitrate, the samples multiplied by
// scale, the WAV path (standard input when empty) and the MP3 path. Without gainAnalysis the
// encoder leaves its header's ReplayGain figure out, and spares the processor time it costs.
Runner::Command EncoderCommand(const QString& program, int bitrate, const QString& wavPath,
                               const QString& mp3Path, double scale = 1.0,
                               bool gainAnalysis = true);

} // namespace Staging
