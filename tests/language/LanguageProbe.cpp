// language_probe [CODE]: the language a start of Quado shows under the
// environment it runs in (CODE as --language would give it), and File's
// title in that language, one per line.
#include <QCoreApplication>

#include <cstdio>

#include "app/Language.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const UiLanguage nLanguage = StartLanguage(argc > 1 ? argv[1] : "");
    const bool bApplied = ApplyLanguage(nLanguage);
    std::printf("%s\n%s\n", bApplied ? LanguageCode(nLanguage) : "none",
                qPrintable(QCoreApplication::translate("CMainFrame", "&File")));
    return 0;
}
