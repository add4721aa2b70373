// SPDX-License-Identifier: MIT
// Builds one complete "GRP" container from a payload and a name.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace ptcdrop {

// A 49200-byte container holding `payload` (at most 49152 bytes) under `name` (taken up to
// its first zero byte, cut to 8 bytes). The result depends on the two arguments alone.
QByteArray convertDataToPTC(QByteArrayView payload, QByteArrayView name);

// The digest the format requires for a container's bytes: MD5 of "MIRELKAS" followed by
// everything from offset 36 to the end.
QByteArray containerDigest(QByteArrayView container);

} // namespace ptcdrop
