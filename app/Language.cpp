#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {

// Built from translations/ into the program's resources.
constexpr char CatalogueDir[] = ":/i18n";

struct Installed {
    UiLanguage nLanguage = UiLanguage::English;
    QPointer<QTranslator> pOwn;
    QPointer<QTranslator> pToolkit;
};

Installed& State()
{
    static Installed s_state;
    return s_state;
}

void Drop(QPointer<QTranslator>& pTranslator)
{
    if (pTranslator) {
        QCoreApplication::removeTranslator(pTranslator);
        delete pTranslator;
    }
}

} // namespace

std::optional<UiLanguage> LanguageFromCode(std::string_view strCode)
{
    if (strCode == "en")
        return UiLanguage::English;
    if (strCode == "de")
        return UiLanguage::German;
    return std::nullopt;
}

const char* LanguageCode(UiLanguage nLanguage)
{
    return nLanguage == UiLanguage::German ? "de" : "en";
}

UiLanguage SystemLanguage()
{
    // In the user's order of preference: "de-AT" before "en-GB" is German.
    for (const QString& strName : QLocale::system().uiLanguages()) {
        const QString strBase = strName.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        if (const std::optional<UiLanguage> nLanguage = LanguageFromCode(strBase.toStdString()))
            return *nLanguage;
    }
    return UiLanguage::English;
}

UiLanguage StartLanguage(const std::string& strOption)
{
    return LanguageFromCode(strOption).value_or(SystemLanguage());
}

UiLanguage CurrentLanguage()
{
    return State().nLanguage;
}

bool ApplyLanguage(UiLanguage nLanguage)
{
    Installed& state = State();
    if (!QCoreApplication::instance())
        return false;
    if (nLanguage == state.nLanguage && (nLanguage == UiLanguage::English || state.pOwn))
        return true;

    QTranslator* pOwn = nullptr;
    QTranslator* pToolkit = nullptr;
    if (nLanguage != UiLanguage::English) {
        const QString strCode = QString::fromLatin1(LanguageCode(nLanguage));
        pOwn = new QTranslator(QCoreApplication::instance());
        if (!pOwn->load(QStringLiteral("quado_") + strCode, QString::fromLatin1(CatalogueDir))) {
            delete pOwn;
            return false;
        }
        // The file dialog's and the message boxes' own buttons; without the
        // system's copy they stay as the toolkit ships them.
        pToolkit = new QTranslator(QCoreApplication::instance());
        if (!pToolkit->load(QStringLiteral("qtbase_") + strCode, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete pToolkit;
            pToolkit = nullptr;
        }
    }
    Drop(state.pOwn);
    Drop(state.pToolkit);
    state.nLanguage = nLanguage;
    // Installing or removing a translator sends every widget LanguageChange.
    if (pToolkit)
        QCoreApplication::installTranslator(pToolkit);
    if (pOwn)
        QCoreApplication::installTranslator(pOwn);
    state.pOwn = pOwn;
    state.pToolkit = pToolkit;
    return true;
}
