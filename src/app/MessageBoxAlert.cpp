// SPDX-License-Identifier: MIT
// The message box: no title of its own, the message literally, one OK button.
#include "MessageBoxAlert.h"

#include "Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace ptcdrop {

void MessageBoxAlert::alert(const Alert& alert)
{
    QMessageBox box(QMessageBox::Warning, QString(), messageText(alert), QMessageBox::Ok,
                    m_parent.data());
    // A file name such as "<b>x</b>.txt" must show as those characters.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    for (const QPointer<QAction>& action : std::as_const(m_actions)) {
        if (action != nullptr)
            box.addAction(action);
    }

    // Alerts come in the middle of a batch that shows the busy cursor; the user has to be
    // able to see that the box waits for a click.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
}

} // namespace ptcdrop
