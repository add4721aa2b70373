// SPDX-License-Identifier: MIT
// Invariant checks for the fuzz targets: a broken invariant aborts, so libFuzzer keeps the input.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

// libFuzzer's input as a byte buffer of its own (a copy: the readers must not rely on the
// bytes after the end that QByteArray adds).
inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// True when every surrogate in `text` is half of a well-formed pair.
inline bool isValidUtf16(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (text[i].isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

// A name an output may carry: one component inside the save directory.
inline bool isSafeFileName(const QString& fileName)
{
    return !fileName.contains(u'/') && !fileName.contains(QChar(u'\0')) &&
           fileName != QLatin1StringView(".") && fileName != QLatin1StringView("..");
}

} // namespace fuzz
