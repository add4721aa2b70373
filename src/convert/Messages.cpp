// SPDX-License-Identifier: MIT
// Message texts. The table is ID-based: the key is the ID, and qtTrId gives the key itself
// when the table has no entry for it.
#include "Messages.h"

#include <QTranslator>

namespace ptcdrop {

QString messageText(const Alert& alert)
{
    QString text = qtTrId(alert.key.toUtf8().constData());
    if (alert.argument)
        text.replace(QLatin1StringView("%@"), *alert.argument);
    return text;
}

bool loadStringTable(QTranslator& translator, const QLocale& locale)
{
    if (translator.load(locale, QStringLiteral("ptcdrop"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
        return true;
    return translator.load(QStringLiteral(":/i18n/ptcdrop_en.qm"));
}

} // namespace ptcdrop
