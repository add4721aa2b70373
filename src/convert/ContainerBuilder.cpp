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
    using namespace ptc;

    // The digested block is the digest prefix followed by the container from the resource
    // header on, so the container is built once and digested in place.
    QByteArray container;
    container.reserve(kContainerSize);
    unpack(container, kSignature, kSignatureLength);
    unpack_v2(container, kDataSize);
    seek(container, quint32(kFixedByteOffset));
    unpack_C(container, kFixedByte);
    seek(container, quint32(kNameOffset));
    unpack(container, name, kNameLength);
    seek(container, quint32(kDigestedOffset));
    unpack(container, kResourceHeader, kResourceHeaderLength);
    container.append(payload);
    seek(container, quint32(kContainerSize));
    const QByteArray digest = containerDigest(container);
    std::copy(digest.cbegin(), digest.cend(), container.begin() + kDigestOffset);
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
