#pragma once

#include "convert/dialogs.h"

#include <QString>

// The standard failure report: a warning box titled "Application Error" that names where the
// failure happened. Returns when the user has dismissed it.
void ShowApplicationError(tp::Dialogs& dialogs, const QString& description, const QString& location,
                          int line);
