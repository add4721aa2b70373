// SPDX-License-Identifier: MIT
// Test fixture: a Conversion whose alerts, gzip switch reads and progress land in one log.
#pragma once

#include "Alert.h"
#include "Conversion.h"

#include <QList>
#include <QString>
#include <QStringList>

// Records every alert as "Key argument", and everything the batch reports, in order, so a
// test can see not only what was said but when: "progress 1/3", "switch", "alert Save X".
class ConversionHarness : public ptcdrop::AlertSink
{
public:
    ConversionHarness() : conversion(*this, [this] { return readSwitch(); })
    {
        conversion.setProgress([this](const ptcdrop::BatchProgress& progress) {
            // Only the steps that come in batch order; in-file steps may come from any thread.
            if (progress.step != ptcdrop::BatchProgress::Step::WithinFile)
                log.append(QStringLiteral("progress %1/%2")
                               .arg(progress.fileIndex)
                               .arg(progress.fileCount));
        });
    }
    ConversionHarness(const ConversionHarness&) = delete;
    ConversionHarness& operator=(const ConversionHarness&) = delete;

    void alert(const ptcdrop::Alert& alert) override
    {
        QString line = alert.key;
        if (alert.argument)
            line += u' ' + *alert.argument;
        alerts.append(line);
        log.append(QStringLiteral("alert ") + line);
    }

    // The switch gives the queued states first, one per read, then `gzip`.
    bool readSwitch()
    {
        ++switchReads;
        log.append(QStringLiteral("switch"));
        return queuedSwitch.isEmpty() ? gzip : queuedSwitch.takeFirst();
    }

    bool gzip = false;
    QList<bool> queuedSwitch;
    int switchReads = 0;
    QStringList alerts;
    QStringList log;
    ptcdrop::Conversion conversion;
};
