// SPDX-License-Identifier: MIT
// Builds one complete "GRP" container from a payload and a name.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace ptcdrop {

// A 49200-byte container holding `payload` (at most 49152 bytes) under `name` (taken up to
// its first zero byte, cut to 8 bytes). The result depends on the two arguments alone.
QByteArray convertDataToPTC(QByteArrayView payload, QByteArrayView name);
// The same container, built in `payload`'s own memory: when the array has room for the
// header before its bytes (see payloadBuffer()), the payload is not copied.
QByteArray convertDataToPTCInPlace(QByteArray&& payload, QByteArrayView name);
// An empty array for a payload of up to `capacity` bytes that keeps room for the header
// before them, so that convertDataToPTCInPlace() needs no copy.
QByteArray payloadBuffer(qsizetype capacity);

// The digest the format requires for a container's bytes: MD5 of "MIRELKAS" followed by
// everything from offset 36 to the end.
QByteArray containerDigest(QByteArrayView container);

} // namespace ptcdrop
