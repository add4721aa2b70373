// SPDX-License-Identifier: MIT
// The ptcdrop window with a start-up probe: prints "first-paint" once the drop area has been
// painted for the first time, then quits. bench_startup times launch to that line.
#include "Application.h"
#include "QvAppDelegate.h"
#include "QvDropView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>

namespace {

class FirstPaintReport : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            // After this paint has reached the window.
            QTimer::singleShot(0, [] {
                std::fputs("first-paint\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_reported = false;
};

} // namespace

int main(int argc, char* argv[])
{
    FirstPaintReport* report = nullptr;
    const int status = ptcdrop::runWindowApplication(argc, argv, [&](QvAppDelegate& delegate) {
        report = new FirstPaintReport(delegate.dropView());
        delegate.dropView()->installEventFilter(report);
    });
    return status;
}
