// SPDX-License-Identifier: MIT
// Alerts of the command-line companion: one line each on standard error.
#pragma once

#include "Alert.h"

#include <QtGlobal>

namespace ptcdrop {

class ConsoleAlert : public AlertSink
{
public:
    void alert(const Alert& alert) override;
    qsizetype count() const { return m_count; }

private:
    qsizetype m_count = 0;
};

} // namespace ptcdrop
