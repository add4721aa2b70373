// SPDX-License-Identifier: MIT
// Reading a container's fields; short files read their missing bytes as zero.
#include "PtcFormat.h"

#include "Pack.h"

namespace ptcdrop::ptc {
namespace {

// A fixed-width text field up to its first zero byte.
QByteArray textField(const QByteArray& bytes, qsizetype offset, qsizetype length)
{
    QByteArray field(length + 1, Qt::Uninitialized);
    pack_a(bytes, quint64(offset), field.data(), quint64(length));
    field.truncate(qsizetype(qstrlen(field.constData())));
    return field;
}

} // namespace

ContainerFields readContainerFields(const QByteArray& bytes)
{
    ContainerFields fields;
    fields.signature = textField(bytes, kSignatureOffset, kSignatureLength);
    fields.tag = textField(bytes, kTagOffset, kTagLength);
    fields.name = textField(bytes, kNameOffset, kNameLength);
    fields.dataSize = pack_v2(bytes, kDataSizeOffset);
    fields.fixedByte = quint8(bytes.size() > kFixedByteOffset ? bytes[kFixedByteOffset] : 0);
    return fields;
}

bool hasSignature(const QByteArray& bytes)
{
    return textField(bytes, kSignatureOffset, kSignatureLength) == kSignature;
}

quint64 payloadLength(quint32 dataSize)
{
    return dataSize > kDataSizeOverhead ? dataSize - kDataSizeOverhead : 0;
}

} // namespace ptcdrop::ptc
