// SPDX-License-Identifier: MIT
// The container builder: the header fields in order, then the digest of the digested block.
#include "ContainerBuilder.h"

#include "PtcFormat.h"
#include "UnPack.h"

#include <QCryptographicHash>

#include <algorithm>

namespace ptcdrop {

QByteArray convertDataToPTC(QByteArrayView payload, QByteArrayView name)
{
    QByteArray bytes = payloadBuffer(payload.size());
    bytes.append(payload);
    return convertDataToPTCInPlace(std::move(bytes), name);
}

QByteArray convertDataToPTCInPlace(QByteArray&& payload, QByteArrayView name)
{
    using namespace ptc;

    QByteArray header;
    header.reserve(kHeaderSize);
    unpack(header, kSignature, kSignatureLength);
    unpack_v2(header, kDataSize);
    seek(header, quint32(kFixedByteOffset));
    unpack_C(header, kFixedByte);
    seek(header, quint32(kNameOffset));
    unpack(header, name, kNameLength);
    seek(header, quint32(kDigestedOffset));
    unpack(header, kResourceHeader, kResourceHeaderLength);
    // The digested block is the digest prefix followed by the container from the resource
    // header on, so the container is built once and digested in place.
    QByteArray container = std::move(payload);
    container.prepend(header); // into the room before the bytes, when there is some
    seek(container, quint32(kContainerSize));
    const QByteArray digest = containerDigest(container);
    std::copy(digest.cbegin(), digest.cend(), container.begin() + kDigestOffset);
    return container;
}

QByteArray payloadBuffer(qsizetype capacity)
{
    // Erasing from the front of an array moves its start, not its bytes: what is erased
    // stays as room for a prepend. One byte more than asked is kept at the end, for a
    // reader that asks for one byte beyond the size it expects.
    QByteArray buffer(ptc::kHeaderSize + capacity + 1, Qt::Uninitialized);
    buffer.remove(0, ptc::kHeaderSize);
    buffer.truncate(0);
    return buffer;
}

QByteArray containerDigest(QByteArrayView container)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(QByteArrayView(ptc::kDigestPrefix));
    if (container.size() > ptc::kDigestedOffset)
        hash.addData(container.sliced(ptc::kDigestedOffset));
    return hash.result();
}

} // namespace ptcdrop
