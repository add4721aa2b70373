// SPDX-License-Identifier: MIT
// The PTC container format: every constant of the layout, and the fields readers take.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace ptcdrop::ptc {

// Layout of a container as written, 49200 bytes:
//   0  "PX01"            4  data size (u16 LE)   6  zero      8  fixed byte 2   9  zero
//   12 name (8 bytes)    20 MD5 digest (16)      36 "PETC0100RGRP" (tag at 45)  48 payload

// Room for one piece, the largest payload.
inline constexpr qsizetype kPayloadSize = 49152;
// Length of a container as written.
inline constexpr qsizetype kContainerSize = 49200;
// Start of the part the digest covers: the resource header.
inline constexpr qsizetype kDigestedOffset = 36;
// Length of the header; start of the payload area.
inline constexpr qsizetype kHeaderSize = 48;
// The data size field counts the bytes from the resource header to the end.
inline constexpr quint32 kDataSize = kContainerSize - kDigestedOffset; // 49164
// The data size field also counts the 12-byte resource header, which is not payload.
inline constexpr quint32 kDataSizeOverhead = kHeaderSize - kDigestedOffset; // 12
// "MIRELKAS" + resource header + payload area.
inline constexpr qsizetype kDigestBlockSize = 8 + kDataSize; // 49172

inline constexpr char kSignature[] = "PX01";
inline constexpr qsizetype kSignatureOffset = 0;
inline constexpr qsizetype kSignatureLength = 4;

inline constexpr qsizetype kDataSizeOffset = 4;

inline constexpr qsizetype kFixedByteOffset = 8;
inline constexpr quint8 kFixedByte = 2;

inline constexpr qsizetype kNameOffset = 12;
inline constexpr qsizetype kNameLength = 8;

inline constexpr qsizetype kDigestOffset = 20;
inline constexpr qsizetype kDigestLength = 16;

// The resource header ends in the resource tag; this system writes "GRP" only.
inline constexpr char kResourceHeader[] = "PETC0100RGRP";
inline constexpr qsizetype kResourceHeaderLength = 12;
inline constexpr qsizetype kTagOffset = 45;
inline constexpr qsizetype kTagLength = 3;

// Never stored: the digest is MD5 of this prefix followed by the bytes from offset 36 on.
inline constexpr char kDigestPrefix[] = "MIRELKAS";

// A "PRG" container's program text starts after 12 more header bytes.
inline constexpr qsizetype kProgramTextOffset = 60;

inline constexpr char kTagGRP[] = "GRP";
inline constexpr char kTagPRG[] = "PRG";

// The extension that marks a container, compared in capitals.
inline constexpr char kContainerExtension[] = "PTC";

// Output file endings.
inline constexpr char kContainerSuffix[] = ".ptc";
inline constexpr char kDataSuffix[] = ".dat";
inline constexpr char kTextSuffix[] = ".txt";

// The fields as readers see them. Missing bytes of a short file read as zero.
struct ContainerFields
{
    QByteArray signature; // bytes 0-3 up to the first zero byte
    QByteArray tag;       // bytes 45-47 up to the first zero byte
    QByteArray name;      // bytes 12-19 up to the first zero byte
    quint32 dataSize = 0; // bytes 4-5, little-endian
    quint8 fixedByte = 0; // byte 8
};

ContainerFields readContainerFields(const QByteArray& bytes);

// True when the bytes begin with the signature.
bool hasSignature(const QByteArray& bytes);

// The payload length the data size field promises (data size - 12), never negative.
quint64 payloadLength(quint32 dataSize);

} // namespace ptcdrop::ptc
