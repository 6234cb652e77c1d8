#include "convert/songbuffer.h"

#include <QTemporaryFile>
#include <algorithm>

namespace {

constexpr qint64 PieceBytes = 1 << 20;

} // namespace

SongBuffer::SongBuffer(const QString& spillFolder, qint64 memoryLimit)
    : m_spillFolder(spillFolder), m_memoryLimit(memoryLimit)
{}

SongBuffer::~SongBuffer() = default;

QString SongBuffer::spillPath() const
{
    return m_spill ? m_spill->fileName() : QString();
}

bool SongBuffer::append(QByteArrayView bytes)
{
    if (!m_error.isEmpty())
        return false;
    while (!bytes.isEmpty() && m_inMemory < m_memoryLimit) {
        if (m_pieces.isEmpty() || m_pieces.last().size() == PieceBytes) {
            m_pieces.append(QByteArray());
            m_pieces.last().reserve(PieceBytes);
        }
        QByteArray& piece = m_pieces.last();
        const qint64 room =
            std::min({PieceBytes - piece.size(), m_memoryLimit - m_inMemory, bytes.size()});
        piece.append(bytes.first(room));
        bytes = bytes.sliced(room);
        m_inMemory += room;
        m_size += room;
    }
    if (bytes.isEmpty())
        return true;
    if (!m_spill) {
        m_spill =
            std::make_unique<QTemporaryFile>(m_spillFolder + QStringLiteral("/song-XXXXXX.pcm"));
        if (!m_spill->open()) {
            m_error = QStringLiteral("cannot make a file in ") + m_spillFolder +
                      QStringLiteral(": ") + m_spill->errorString();
            return false;
        }
    }
    if (m_spill->write(bytes.data(), bytes.size()) != bytes.size()) {
        m_error = QStringLiteral("cannot write ") + m_spill->fileName() + QStringLiteral(": ") +
                  m_spill->errorString();
        return false;
    }
    m_size += bytes.size();
    return true;
}

void SongBuffer::release()
{
    m_pieces.clear();
    m_spill.reset();
}

SongBuffer::Reader::Reader(const SongBuffer& buffer) : m_buffer(buffer)
{
    if (buffer.m_spill) {
        buffer.m_spill->flush();
        m_file.setFileName(buffer.m_spill->fileName());
        m_ok = m_file.open(QIODevice::ReadOnly);
    }
}

QByteArray SongBuffer::Reader::read(qint64 most)
{
    QByteArray bytes;
    while (m_ok && bytes.size() < most && m_at < m_buffer.m_size) {
        const qint64 want = most - bytes.size();
        if (m_at < m_buffer.m_inMemory) {
            const QByteArray& piece = m_buffer.m_pieces[m_at / PieceBytes];
            const qint64 offset = m_at % PieceBytes;
            const qint64 count = std::min(want, piece.size() - offset);
            bytes.append(piece.constData() + offset, count);
            m_at += count;
            continue;
        }
        const QByteArray more = m_file.read(want);
        if (more.isEmpty())
            m_ok = false;
        bytes.append(more);
        m_at += more.size();
    }
    return bytes;
}
