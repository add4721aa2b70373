// SPDX-License-Identifier: MIT
// Alerts of the window: one application-modal message box each, shown as plain text.
#pragma once

#include "Alert.h"

#include <QAction>
#include <QList>
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

    // Actions whose shortcuts work while a box is up (Quit). Not owned.
    void addAction(QAction* action) { m_actions.append(action); }

private:
    QPointer<QWidget> m_parent;
    QList<QPointer<QAction>> m_actions;
};

} // namespace ptcdrop
