// SPDX-License-Identifier: MIT
// Start-up time of ptcdrop: from launching the process to its first painted window, on a
// private Xvfb server, over several runs.
//   bench_startup [RUNS]     prints every run, then min, median and max in milliseconds
#include "XvfbSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;

    const QString missing = XvfbSession::missingTools();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "bench_startup: missing %s\n", qPrintable(missing));
        return 2;
    }
    XvfbSession x;
    QString error;
    if (!x.start(&error)) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
        return 2;
    }
    const QProcessEnvironment env = x.environment();

    // One run that is not counted: it fills the page cache with the program and Qt.
    QList<double> times;
    for (int run = -1; run < runs; ++run) {
        QProcess window;
        window.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        window.start(QStringLiteral(PTCDROP_APP), {});
        bool painted = false;
        while (!painted && window.waitForReadyRead(30000)) {
            while (window.canReadLine())
                painted = painted || window.readLine().trimmed() == "first-paint";
        }
        const double milliseconds = double(clock.nsecsElapsed()) / 1e6;
        if (!window.waitForFinished(10000))
            window.kill();
        window.waitForFinished();
        if (!painted) {
            std::fprintf(stderr, "bench_startup: run %d never painted\n", run);
            return 1;
        }
        if (run >= 0) {
            times.append(milliseconds);
            std::printf("run %2d: %7.1f ms\n", run + 1, milliseconds);
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("launch to first paint under Xvfb, %lld runs: min %.1f ms, median %.1f ms, "
                "max %.1f ms\n",
                qlonglong(times.size()), times.first(), median, times.last());
    return 0;
}
