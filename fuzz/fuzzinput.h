#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// Fuzz bytes as text: UTF-16 code units, so that lone surrogates and NULs occur too.
inline QString FuzzText(const std::uint8_t* data, std::size_t size)
{
    return QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
}
