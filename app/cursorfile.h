#pragma once

#include <QCursor>
#include <QString>

// Loads a Windows cursor file (.cur) with its hot spot. Throws tp::ApplicationError when the
// file cannot be read as a cursor.
QCursor LoadCursorFile(const QString& path);

// Loads an icon file as a pointer whose hot spot is the image centre. Throws likewise.
QCursor LoadIconPointer(const QString& path);
