// SPDX-License-Identifier: MIT
// A private X server for tests and benchmarks: Xvfb on a free display, stopped on exit.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <sys/prctl.h>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

// A test that crashes must not leave its X server and windows running: they would hold
// the test's output open, and CTest would wait for them until its timeout.
inline void endWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

class XvfbSession
{
public:
    XvfbSession() = default;
    ~XvfbSession()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // Empty when Xvfb and xdotool are both there, else what is missing.
    static QString missingTools()
    {
        QStringList missing;
        for (const char* tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                missing.append(QString::fromLatin1(tool));
        }
        return missing.join(QLatin1StringView(", "));
    }

    // Starts Xvfb on the first display from :91 on whose lock file and socket are free,
    // and waits until it answers. Returns false with `error` set when none would start.
    bool start(QString* error)
    {
        for (int display = 91; display < 140; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
                continue;
            m_display = QStringLiteral(":%1").arg(display);
            m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            endWithParent(m_server);
            m_server.start(QStringLiteral("Xvfb"),
                           {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x600x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
            if (!m_server.waitForStarted(5000))
                break;
            for (int attempt = 0; attempt < 100; ++attempt) {
                if (m_server.state() == QProcess::NotRunning)
                    break; // lost the race for this display: try the next one
                if (xdotool({QStringLiteral("getmouselocation")}) == 0)
                    return true;
                QThread::msleep(50);
            }
            m_server.kill();
            m_server.waitForFinished(2000);
        }
        *error = QStringLiteral("Xvfb did not start on any display from :91 to :139");
        return false;
    }

    QString display() const { return m_display; }

    // A minimal environment for programs on this server: no session bus, no desktop
    // settings, the xcb platform.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env;
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"PATH", "HOME", "LANG", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS",
              "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
            if (system.contains(QString::fromLatin1(name)))
                env.insert(QString::fromLatin1(name), system.value(QString::fromLatin1(name)));
        }
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        return env;
    }

    // Runs xdotool on this server; returns its exit status (-1 when it did not finish).
    int xdotool(const QStringList& arguments, QString* output = nullptr) const
    {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!tool.waitForFinished(20000)) {
            tool.kill();
            tool.waitForFinished();
            return -1;
        }
        if (output != nullptr)
            *output = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }

private:
    QProcess m_server;
    QString m_display;
    QTemporaryDir m_runtime;
};
