// Alerts of the window: one application-modal message box each, shown as plain text.
#pragma once

#include "Alert.h"

namespace ptcdrop {

class MessageBoxAlert : public AlertSink
{
public:
    // Returns when the user has dismissed the box.
    void alert(const Alert& alert) override;
};

} // namespace ptcdrop
