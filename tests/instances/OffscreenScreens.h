// The toolkit's offscreen platform with monitors a test sets and changes
// while the program runs: named screens at given places, as a computer with
// several outputs has them, added and removed as monitors come and go.
#pragma once

#include <QRect>
#include <QString>
#include <QVector>

namespace instancestest {

struct ScreenSetup {
    QString strName;
    QRect rc;
};

// The JSON the platform reads at start (-platform offscreen:configfile=FILE).
QByteArray ScreensJson(const QVector<ScreenSetup>& screens);

// Replaces the running offscreen platform's screens: one whose name stays
// keeps its screen object, the others come and go as on a real system.
// False where the platform offers no way to (not the offscreen one).
bool SetScreens(const QVector<ScreenSetup>& screens);

} // namespace instancestest
