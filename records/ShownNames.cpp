#include "records/ShownNames.h"

#include <QCoreApplication>

namespace {

struct Name {
    const char* pszStored;
    const char* pszShown;
};
// The stored names stay as the file has them; only the shown ones are words.
constexpr Name Outcomes[] = {{"won", QT_TRANSLATE_NOOP("CGamesTableModel", "Won")},
                             {"lost", QT_TRANSLATE_NOOP("CGamesTableModel", "Lost")},
                             {"timeout", QT_TRANSLATE_NOOP("CGamesTableModel", "Timed out")},
                             {"abandoned", QT_TRANSLATE_NOOP("CGamesTableModel", "Abandoned")}};
constexpr Name Causes[] = {{"congrat", QT_TRANSLATE_NOOP("CGamesTableModel", "Congrat")},
                           {"incorrect", QT_TRANSLATE_NOOP("CGamesTableModel", "Incorrect")},
                           {"timeout", QT_TRANSLATE_NOOP("CGamesTableModel", "Timeout")},
                           {"press", QT_TRANSLATE_NOOP("CGamesTableModel", "Press button")},
                           {"new", QT_TRANSLATE_NOOP("CGamesTableModel", "New game")},
                           {"disconnect", QT_TRANSLATE_NOOP("CGamesTableModel", "Disconnect")},
                           {"adapter_lost", QT_TRANSLATE_NOOP("CGamesTableModel", "Adapter lost")},
                           {"closing", QT_TRANSLATE_NOOP("CGamesTableModel", "Quado closed")}};

template <size_t N>
QString Lookup(const Name (&names)[N], const QString& strStored)
{
    for (const Name& name : names) {
        if (strStored == QLatin1String(name.pszStored))
            return QCoreApplication::translate("CGamesTableModel", name.pszShown);
    }
    return strStored;
}

} // namespace

QString OutcomeText(const QString& strOutcome)
{
    return Lookup(Outcomes, strOutcome);
}

QString CauseText(const QString& strCause)
{
    return Lookup(Causes, strCause);
}
