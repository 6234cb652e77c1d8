#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <memory>

class QTemporaryFile;

// A whole song's bytes, held until it has been measured and can be levelled: in memory up to a
// bound, and beyond it in a file in the run's workspace, removed with the buffer.
class SongBuffer
{
public:
    SongBuffer(const QString& spillFolder, qint64 memoryLimit);
    ~SongBuffer();
    SongBuffer(const SongBuffer&) = delete;
    SongBuffer& operator=(const SongBuffer&) = delete;

    // Adds bytes at the end; false, with the reason in error(), when the file cannot take them.
    bool append(QByteArrayView bytes);
    qint64 size() const { return m_size; }
    // The file that holds what memory does not, or "" while there is none.
    QString spillPath() const;
    QString error() const { return m_error; }

    // Reads the bytes from the start, as often as needed.
    class Reader
    {
    public:
        explicit Reader(const SongBuffer& buffer);
        // Up to most bytes, the next ones; fewer only at the end. Empty at the end, or when the
        // file cannot be read (ok() tells).
        QByteArray read(qint64 most);
        bool ok() const { return m_ok; }

    private:
        const SongBuffer& m_buffer;
        qint64 m_at = 0;
        QFile m_file;
        bool m_ok = true;
    };

    // Frees the memory and removes the file at once, before the buffer itself goes.
    void release();

private:
    QString m_spillFolder;
    qint64 m_memoryLimit;
    // Memory in pieces of one size, so that growing never copies what is held.
    QList<QByteArray> m_pieces;
    qint64 m_inMemory = 0;
    std::unique_ptr<QTemporaryFile> m_spill;
    qint64 m_size = 0;
    QString m_error;
};
