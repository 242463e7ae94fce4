// The German catalogue: every message translated, none left from texts the
// sources no longer have, each keeping its placeholders and its menu key;
// and in step with the sources: lupdate run over them finds no text the
// catalogue lacks (a text marked for translation but never translated).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <vector>

namespace {

const QString Catalogue = QStringLiteral(QUADO_SOURCE_DIR "/translations/quado_de.ts");

struct Message {
    QString strContext;
    QString strSource;
    QString strTranslation;
    // unfinished, vanished, obsolete; empty when done.
    QString strType;
};

std::vector<Message> ReadCatalogue(const QString& strPath, QString* pLanguage = nullptr)
{
    std::vector<Message> messages;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString strContext;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("TS") && pLanguage)
            *pLanguage = xml.attributes().value(QLatin1String("language")).toString();
        else if (xml.name() == QLatin1String("name"))
            strContext = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            message = Message{strContext, {}, {}, {}};
        else if (xml.name() == QLatin1String("source"))
            message.strSource = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            message.strType = xml.attributes().value(QLatin1String("type")).toString();
            message.strTranslation = xml.readElementText();
            messages.push_back(message);
        }
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    return messages;
}

QString Name(const Message& message)
{
    return message.strContext + QStringLiteral(" / \"") + message.strSource + QLatin1Char('"');
}

QStringList Placeholders(const QString& strText)
{
    static const QRegularExpression Placeholder(QStringLiteral("%L?[0-9]+"));
    QStringList found;
    for (auto it = Placeholder.globalMatch(strText); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

bool HasMenuKey(const QString& strText)
{
    return QString(strText).remove(QStringLiteral("&&")).contains(QLatin1Char('&'));
}

} // namespace

TEST(GermanCatalogue, EveryMessageIsTranslatedAndNoneIsLeftOver)
{
    QString strLanguage;
    const std::vector<Message> messages = ReadCatalogue(Catalogue, &strLanguage);
    ASSERT_GT(messages.size(), 100u);
    EXPECT_EQ(strLanguage, QStringLiteral("de"));
    QStringList faults;
    for (const Message& message : messages) {
        if (!message.strType.isEmpty())
            faults << Name(message) + QStringLiteral(" is ") + message.strType;
        else if (message.strTranslation.trimmed().isEmpty())
            faults << Name(message) + QStringLiteral(" has no translation");
    }
    EXPECT_EQ(faults, QStringList());
}

TEST(GermanCatalogue, TranslationsKeepTheirPlaceholdersAndMenuKeys)
{
    QStringList faults;
    for (const Message& message : ReadCatalogue(Catalogue)) {
        if (Placeholders(message.strSource) != Placeholders(message.strTranslation))
            faults << Name(message) + QStringLiteral(": placeholders differ");
        if (HasMenuKey(message.strSource) != HasMenuKey(message.strTranslation))
            faults << Name(message) + QStringLiteral(": menu key (&) differs");
        if (message.strSource.count(QLatin1Char('\n')) != message.strTranslation.count(QLatin1Char('\n')))
            faults << Name(message) + QStringLiteral(": line count differs");
    }
    EXPECT_EQ(faults, QStringList());
}

TEST(GermanCatalogue, MenuKeysAreUniqueWithinEachMenu)
{
    // The letters after '&' of the menu bar's titles, and of the items
    // under each title, as German shows them: one letter, one item.
    const std::vector<Message> messages = ReadCatalogue(Catalogue);
    auto key = [](const QString& strText) {
        const int n = QString(strText).remove(QStringLiteral("&&")).indexOf(QLatin1Char('&'));
        return n >= 0 && n + 1 < strText.size() ? strText.at(n + 1).toLower() : QChar();
    };
    auto german = [&](const char* pszSource) {
        for (const Message& message : messages) {
            if (message.strContext == QLatin1String("CMainFrame") && message.strSource == QLatin1String(pszSource))
                return message.strTranslation;
        }
        ADD_FAILURE() << "no translation of " << pszSource;
        return QString();
    };
    const std::vector<std::vector<const char*>> menus = {
        {"&File", "&Options", "&View", "&Show", "&Help"},
        {"&Export Records...", "E&xit"},
        {"&Mute", "&Fit to Screen", "Connect &Automatically", "&Keep Records", "Show Records When &Idle", "&Language"},
        {"&Full Screen", "&Scale Down"},
        {"&Dravik Driver", "&Manual Driver", "&Records"},
    };
    for (const auto& menu : menus) {
        QString strSeen;
        for (const char* pszItem : menu) {
            const QChar cKey = key(german(pszItem));
            EXPECT_FALSE(cKey.isNull()) << pszItem;
            EXPECT_FALSE(strSeen.contains(cKey)) << pszItem << " shares its key in German";
            strSeen += cKey;
        }
    }
}

TEST(GermanCatalogue, HoldsEveryTextTheSourcesMarkForTranslation)
{
    // lupdate over the rooms' sources, into a copy: whatever it adds is a
    // text the catalogue lacks (the build's update_translations target does
    // the same to the catalogue itself).
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strCopy = dir.filePath(QStringLiteral("quado_de.ts"));
    ASSERT_TRUE(QFile::copy(Catalogue, strCopy));
    QFile::setPermissions(strCopy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(QUADO_SOURCE_DIR));
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(QUADO_LUPDATE),
                  {QStringLiteral("-I"), QStringLiteral("."), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("-no-obsolete"), QStringLiteral("-extensions"), QStringLiteral("cpp,h"),
                   QStringLiteral("app"), QStringLiteral("board"), QStringLiteral("drivers"), QStringLiteral("platform"),
                   QStringLiteral("records"), QStringLiteral("fleet"), QStringLiteral("speech"), QStringLiteral("tools"),
                   QStringLiteral("-ts"),
                   strCopy});
    ASSERT_TRUE(lupdate.waitForFinished(-1));
    const QString strOutput = QString::fromLocal8Bit(lupdate.readAll());
    ASSERT_EQ(lupdate.exitCode(), 0) << qPrintable(strOutput);

    QStringList faults;
    for (const Message& message : ReadCatalogue(strCopy)) {
        if (message.strType == QLatin1String("unfinished"))
            faults << Name(message) + QStringLiteral(" is marked in the sources but not in the catalogue");
    }
    EXPECT_EQ(faults, QStringList()) << "refresh it: cmake --build build --target update_translations";
    // And nothing the catalogue holds has gone from the sources.
    EXPECT_EQ(ReadCatalogue(strCopy).size(), ReadCatalogue(Catalogue).size());
}
