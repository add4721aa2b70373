// SPDX-License-Identifier: MIT
// Shared helpers of the hardening tests: files, folder listings, alert recording, the CLI.
#pragma once

#include "Alert.h"
#include "ContainerBuilder.h"
#include "Messages.h"
#include "PtcFormat.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace hardening {

// Records every alert instead of showing it.
class RecordingSink : public ptcdrop::AlertSink
{
public:
    void alert(const ptcdrop::Alert& alert) override { alerts.append(alert); }
    QList<ptcdrop::Alert> alerts;
};

inline ptcdrop::Alert alertOf(const char* key, const QString& argument)
{
    return ptcdrop::Alert{QString::fromLatin1(key), argument};
}

// Every entry below `root` (hidden ones and links included, links not followed) with
// the content of each regular file: what a test compares before and after a batch.
inline QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    const QDir dir(root);
    const QFileInfoList infos = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : infos) {
        const QString relative = info.fileName();
        if (info.isSymLink()) {
            entries.insert(relative, "-> " + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isDir()) {
            entries.insert(relative + u'/', QByteArray());
            const QMap<QString, QByteArray> inner = snapshot(info.filePath());
            for (auto it = inner.begin(); it != inner.end(); ++it)
                entries.insert(relative + u'/' + it.key(), it.value());
        } else if (info.isFile()) {
            entries.insert(relative, readFile(info.filePath()));
        } else {
            entries.insert(relative, "(special)");
        }
    }
    return entries;
}

// True when `bytes` is a container as this program writes it: 49200 bytes, the signature,
// the "GRP" resource header, the fixed byte and a correct digest.
inline bool isWellFormedContainer(const QByteArray& bytes)
{
    using namespace ptcdrop::ptc;
    return bytes.size() == kContainerSize && bytes.startsWith(kSignature) &&
           bytes.mid(4, 2) == QByteArray("\x0c\xc0", 2) && bytes[kFixedByteOffset] == kFixedByte &&
           bytes.mid(kDigestedOffset, kResourceHeaderLength) == kResourceHeader &&
           bytes.mid(kDigestOffset, kDigestLength) == ptcdrop::containerDigest(bytes);
}

// The line ptcdrop-cli prints for an alert.
inline QString cliLine(const char* key, const std::optional<QString>& argument)
{
    return QStringLiteral("ptcdrop-cli: ") +
           ptcdrop::messageText(ptcdrop::Alert{QString::fromLatin1(key), argument});
}

struct CliRun
{
    bool finished = false;
    int exitCode = -1;
    QString errorText;
    QStringList errorLines;
    QByteArray standardOutput;
};

// Runs ptcdrop-cli on `arguments`; a run that does not end within `timeoutMs` is killed
// and reported as not finished.
inline CliRun runCli(const QStringList& arguments, int timeoutMs = 60000,
                     const std::function<void()>& childSetup = {})
{
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    process.start(QStringLiteral(PTCDROP_CLI), arguments);
    CliRun run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.errorText = QString::fromUtf8(process.readAllStandardError());
    run.errorLines = run.errorText.split(u'\n', Qt::SkipEmptyParts);
    run.standardOutput = process.readAllStandardOutput();
    return run;
}

} // namespace hardening
