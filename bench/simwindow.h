#pragma once

// The window's port opened on a simulated device, which is then taken into command mode, so
// that a benchmark times its own operations and not the first reply time-out.

#include <cstdio>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QToolButton>
#include <QtCore/qtestsupport_core.h>

#include "devsim/simserver.h"
#include "ui/link/linkcontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace m845::bench {

inline bool LogContains(m845::TFrm_Main &window, const QString &text)
{
    window.Log().Flush();
    return window.Log().Dialog()->toPlainText().contains(text);
}

// False, said on standard error, when the port does not open or the device stays in data
// transfer.
inline bool OpenInCommandMode(m845::TFrm_Main &window, const m845::devsim::SimServer &sim)
{
    window.findChild<QComboBox *>(QStringLiteral("cbbOpenCom"))
        ->setEditText(QString::fromStdString(sim.SlavePath()));
    window.findChild<QToolButton *>(QStringLiteral("btnOpenClose"))->click();
    if (!window.Link().IsPortOpen()) {
        std::fprintf(stderr, "could not open %s\n", sim.SlavePath().c_str());
        return false;
    }
    // The device greets when the line comes up; "+++" needs a quiet line around it.
    (void)QTest::qWaitFor(
        [&] { return LogContains(window, QString::fromStdString(sim.Param("STMSG"))); }, 10000);
    window.findChild<QPushButton *>(QStringLiteral("btnPPPA"))->click();
    if (!QTest::qWaitFor(
            [&] { return LogContains(window, QStringLiteral("Operation complete")); }, 10000)) {
        std::fprintf(stderr, "the device did not enter command mode\n");
        return false;
    }
    return true;
}

} // namespace m845::bench
