#pragma once

#include "convert/dialogs.h"

#include <QString>

class FileListView;

// The sample files that lie in the Samples folder beside the program.
namespace Samples {

// The folder that holds the samples.
QString SamplesFolder(const QString& programFolder);

// Whether some entry of the list has exactly this text (letter case counts, nothing trimmed).
bool IsInList(const FileListView& list, const QString& text);

// Appends every openable file of the samples folder that is not listed yet, in the folder's
// listing order. A missing folder adds nothing. Failures propagate to the caller.
void LoadSampleFiles(FileListView& list, const QString& programFolder);

// Asks whether to open the samples folder in the file manager and opens it on Yes. The
// outcome of opening is not judged.
void OfferSamplesFolder(tp::Dialogs& dialogs, const QString& appTitle,
                        const QString& programFolder);

QString OfferText();

} // namespace Samples
