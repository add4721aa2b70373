// SPDX-License-Identifier: MIT
// Fuzz target: base names of packed files and the container extension rule on arbitrary
// UTF-16 paths (lone surrogates and "/" included).
#include "FuzzCheck.h"

#include "Classification.h"
#include "Naming.h"
#include "PathRules.h"

#include <QStringDecoder>

#include <cstring>

namespace {

// The base name must be the upper-cased start of the stem, at most `limit` code units long
// before upper-casing, shortened only by a half surrogate pair and one trailing "_".
void checkBaseName(const QString& path, bool only)
{
    const qsizetype limit = only ? 8 : 5;
    const QString stem = ptcdrop::paths::stem(path);
    const QString base = ptcdrop::name(path, only);
    FUZZ_CHECK(!base.contains(u'/'));

    const qsizetype cut = std::min(limit, stem.size());
    bool found = false;
    for (qsizetype kept = std::max<qsizetype>(0, cut - 2); kept <= cut && !found; ++kept) {
        // Upper-cased as an lvalue, like name() does: Qt's in-place (rvalue) upper-casing
        // turns a trailing lone surrogate into U+FFFD, the copying one keeps it.
        const QString start = stem.first(kept);
        found = start.toUpper() == base;
    }
    FUZZ_CHECK(found);

    // The cut never leaves half a pair: valid text stays valid.
    if (fuzz::isValidUtf16(stem))
        FUZZ_CHECK(fuzz::isValidUtf16(base));
    // The container name is its UTF-8 form, which must read back as the same text (a
    // leading U+FEFF included, which QString::fromUtf8 would drop as a byte order mark).
    if (fuzz::isValidUtf16(base)) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = decoder.decode(base.toUtf8());
        FUZZ_CHECK(!decoder.hasError() && decoded == base);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString path(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(path.data(), data, size_t(path.size()) * sizeof(QChar));

    checkBaseName(path, true);
    checkBaseName(path, false);

    // The extension rule: the last "." of the last component, unless it is its first
    // character, then "PTC" in any letter case.
    const QString component = ptcdrop::paths::lastComponent(path).toUpper();
    const qsizetype dot = component.lastIndexOf(u'.');
    const bool expected =
        dot > 0 && component.sliced(dot + 1).toUpper() == QLatin1StringView("PTC");
    FUZZ_CHECK(ptcdrop::hasContainerExtension(path) == expected);
    return 0;
}
