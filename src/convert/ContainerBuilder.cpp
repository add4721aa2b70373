// SPDX-License-Identifier: MIT
// The container builder: digest over a separate block, then the header fields in order.
#include "ContainerBuilder.h"

#include "PtcFormat.h"
#include "UnPack.h"

#include <QCryptographicHash>

namespace ptcdrop {

QByteArray convertDataToPTC(QByteArrayView payload, QByteArrayView name)
{
    using namespace ptc;

    QByteArray block;
    block.reserve(kDigestBlockSize);
    block.append(kDigestPrefix);
    unpack(block, kResourceHeader, kResourceHeaderLength);
    block.append(payload);
    seek(block, quint32(kDigestBlockSize));
    const QByteArray digest = QCryptographicHash::hash(block, QCryptographicHash::Md5);

    QByteArray container;
    container.reserve(kContainerSize);
    unpack(container, kSignature, kSignatureLength);
    unpack_v2(container, kDataSize);
    seek(container, quint32(kFixedByteOffset));
    unpack_C(container, kFixedByte);
    seek(container, quint32(kNameOffset));
    unpack(container, name, kNameLength);
    container.append(digest);
    seek(container, quint32(kDigestedOffset));
    unpack(container, kResourceHeader, kResourceHeaderLength);
    container.append(payload);
    seek(container, quint32(kContainerSize));
    return container;
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
