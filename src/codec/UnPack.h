// SPDX-License-Identifier: MIT
// Appenders of fixed-width fields to a growable buffer; bytes already there never change.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace ptcdrop {

// Integer fields keep only the bits that fit their width.
void unpack_n2(QByteArray& data, quint32 value); // 16-bit big-endian
void unpack_N4(QByteArray& data, quint32 value); // 32-bit big-endian
void unpack_v2(QByteArray& data, quint32 value); // 16-bit little-endian
void unpack_V4(QByteArray& data, quint32 value); // 32-bit little-endian
void unpack_C(QByteArray& data, quint64 value);  // one byte

// Appends exactly `width` bytes: the text up to its first zero byte, cut to the width or
// filled up with zero bytes. No terminator is written when the text fills the field.
void unpack(QByteArray& data, QByteArrayView text, quint64 width);

// Appends zero bytes until the buffer is `length` bytes long; never shortens it. An empty
// buffer is filled the same way, so that the length afterwards is always at least `length`.
void seek(QByteArray& data, quint32 length);

} // namespace ptcdrop
