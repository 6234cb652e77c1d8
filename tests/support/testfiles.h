#pragma once

#include "filelist/filelistview.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

// The texts of the list's entries, top to bottom.
inline QStringList Entries(const FileListView& list)
{
    QStringList texts;
    for (int position = 1; position <= list.count(); ++position)
        texts.append(list.entryText(position));
    return texts;
}

// A small file, with its folders made first.
inline void MakeFile(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("MThd");
}
