// What the Records window and its sorted queries show for a game's stored
// outcome and cause: the stored names stay as the file has them.
#pragma once

#include <QString>

// "Won", "Timed out", ...; "Adapter lost", ...: the stored names as read.
QString OutcomeText(const QString& strOutcome);
QString CauseText(const QString& strCause);
