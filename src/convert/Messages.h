// SPDX-License-Identifier: MIT
// Message texts from the string table, with the argument put in place of "%@".
#pragma once

#include "Alert.h"

#include <QLocale>
#include <QString>

class QTranslator;

namespace ptcdrop {

// The text of the key from the installed string table, or the key itself when the table
// has no entry. The argument replaces every "%@"; nothing else is interpreted.
QString messageText(const Alert& alert);

// Loads the embedded string table for `locale` (English when there is no better match)
// into `translator`. Returns false only when not even the English table could be loaded.
bool loadStringTable(QTranslator& translator, const QLocale& locale);

} // namespace ptcdrop
