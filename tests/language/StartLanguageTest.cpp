// The language a start picks: the system's (LANGUAGE before LC_ALL,
// LC_MESSAGES and LANG, the first Quado speaks), --language over it, English
// when the system asks for none Quado speaks; any other --language refused
// before the program starts.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "app/Language.h"
#include "app/StartOptions.h"

namespace {

struct Probe {
    QString strLanguage;
    QString strFileMenu;
};

// The probe under a system set as given (every other locale variable unset).
Probe RunProbe(const QStringList& environment, const QStringList& args = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        env.remove(QString::fromLatin1(pszName));
    for (const QString& strSetting : environment)
        env.insert(strSetting.section(QLatin1Char('='), 0, 0), strSetting.section(QLatin1Char('='), 1));
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(QUADO_LANGUAGE_PROBE), args);
    EXPECT_TRUE(probe.waitForFinished(-1));
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
    return {lines.value(0), lines.value(1)};
}

} // namespace

TEST(StartLanguage, FollowsTheSystem)
{
    Probe german = RunProbe({QStringLiteral("LANG=de_DE.UTF-8")});
    EXPECT_EQ(german.strLanguage, QStringLiteral("de"));
    EXPECT_EQ(german.strFileMenu, QStringLiteral("&Datei"));

    Probe austrian = RunProbe({QStringLiteral("LANG=en_GB.UTF-8"), QStringLiteral("LC_MESSAGES=de_AT.UTF-8")});
    EXPECT_EQ(austrian.strLanguage, QStringLiteral("de"));

    Probe english = RunProbe({QStringLiteral("LANG=en_US.UTF-8")});
    EXPECT_EQ(english.strLanguage, QStringLiteral("en"));
    EXPECT_EQ(english.strFileMenu, QStringLiteral("&File"));
}

TEST(StartLanguage, TakesTheFirstLanguageItSpeaksAndEnglishWhenNone)
{
    // French first, which Quado does not speak; German next.
    EXPECT_EQ(RunProbe({QStringLiteral("LANG=fr_FR.UTF-8"), QStringLiteral("LANGUAGE=fr:de")}).strLanguage,
              QStringLiteral("de"));
    EXPECT_EQ(RunProbe({QStringLiteral("LANG=fr_FR.UTF-8")}).strLanguage, QStringLiteral("en"));
    EXPECT_EQ(RunProbe({QStringLiteral("LANG=C")}).strLanguage, QStringLiteral("en"));
    EXPECT_EQ(RunProbe({}).strLanguage, QStringLiteral("en"));
}

TEST(StartLanguage, TheOptionWinsOverTheSystem)
{
    EXPECT_EQ(RunProbe({QStringLiteral("LANG=de_DE.UTF-8")}, {QStringLiteral("en")}).strLanguage, QStringLiteral("en"));
    const Probe german = RunProbe({QStringLiteral("LANG=en_US.UTF-8")}, {QStringLiteral("de")});
    EXPECT_EQ(german.strLanguage, QStringLiteral("de"));
    EXPECT_EQ(german.strFileMenu, QStringLiteral("&Datei"));
}

TEST(StartLanguage, OptionTakesOnlyEnOrDe)
{
    EXPECT_EQ(ParseStartOptions({"--language", "de"}, false).options.strLanguage, "de");
    EXPECT_EQ(ParseStartOptions({"--language=en"}, false).options.strLanguage, "en");
    EXPECT_EQ(ParseStartOptions({"--language=de"}, true).options.strLanguage, "de");
    EXPECT_EQ(ParseStartOptions({}, false).options.strLanguage, "");
    EXPECT_EQ(ParseStartOptions({"--language", "fr"}, false).strError, "bad value 'fr' for --language (en or de)");
    EXPECT_EQ(ParseStartOptions({"--language", "DE"}, false).strError, "bad value 'DE' for --language (en or de)");
    EXPECT_EQ(ParseStartOptions({"--language"}, false).strError, "option --language needs a value (see --help)");
    EXPECT_EQ(ParseStartOptions({"--language="}, false).strError, "option --language needs a value (see --help)");
}

TEST(StartLanguage, TheProgramRefusesAnotherLanguageWithOneLineAndStatusTwo)
{
    QProcess quado;
    quado.start(QStringLiteral(QUADO_PROGRAM), {QStringLiteral("--language"), QStringLiteral("fr")});
    ASSERT_TRUE(quado.waitForFinished(-1));
    EXPECT_EQ(quado.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quado.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(quado.readAllStandardError()),
              QStringLiteral("quado: bad value 'fr' for --language (en or de)\n"));
    EXPECT_TRUE(quado.readAllStandardOutput().isEmpty());
}
