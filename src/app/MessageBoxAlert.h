// Alerts of the window: one application-modal message box each, shown as plain text.
#pragma once

#include "Alert.h"

#include <QPointer>
#include <QWidget>

namespace ptcdrop {

class MessageBoxAlert : public AlertSink
{
public:
    // The boxes are centred on `parent` when it is given.
    explicit MessageBoxAlert(QWidget* parent = nullptr) : m_parent(parent) {}

    // Returns when the user has dismissed the box.
    void alert(const Alert& alert) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace ptcdrop
