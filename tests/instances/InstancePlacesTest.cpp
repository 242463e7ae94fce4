// What a named exhibit keeps apart from the others on the same computer: its
// settings file, its records file and its broker id; without a name, the
// places every Quado used before.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

#include "app/InstanceOptions.h"
#include "app/InstanceSettings.h"
#include "app/StartConfigFile.h"
#include "app/QuadoApp.h"
#include "fleet/VenueOptions.h"
#include "records/RecordFile.h"

namespace {

// The user's folders in a scratch directory for the test's length.
class ScratchXdg : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strData = qgetenv("XDG_DATA_HOME");
        m_strConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", m_strData);
        qputenv("XDG_CONFIG_HOME", m_strConfig);
    }
    QString In(const char* pszPath) const { return m_dir.filePath(QString::fromLatin1(pszPath)); }

    QTemporaryDir m_dir;
    QByteArray m_strData;
    QByteArray m_strConfig;
};

VenueOptions VenueOf(const std::vector<std::string>& args)
{
    StartOptionsResult result = ParseStartOptionsWithConfig(args, false);
    EXPECT_EQ(result.strError, "");
    ApplyInstanceDefaults(result.options.instance, result.options.venue);
    return result.options.venue;
}

} // namespace

TEST_F(ScratchXdg, EachExhibitHasItsOwnRecordsFileAndTheUnnamedOneKeepsItsOld)
{
    EXPECT_EQ(DefaultRecordsPath(), In("data/quado/records.sqlite"));
    EXPECT_EQ(DefaultRecordsPath(QStringLiteral("left")), In("data/quado/left/records.sqlite"));
    EXPECT_EQ(DefaultRecordsPath(QStringLiteral("right")), In("data/quado/right/records.sqlite"));
    EXPECT_EQ(InstanceSettingsFolder(QStringLiteral("left")), In("config/quado/left"));
}

TEST_F(ScratchXdg, SettingsWrittenByOneExhibitAreNotSeenByAnother)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(CQuadoApp::CompanyName));
    QCoreApplication::setApplicationName(QString::fromLatin1(CQuadoApp::AppName));
    UseInstanceSettings(QStringLiteral("left"));
    {
        QSettings settings;
        settings.setValue(QStringLiteral("Options/Mute"), true);
        settings.sync();
        EXPECT_EQ(settings.status(), QSettings::NoError);
        EXPECT_TRUE(settings.fileName().startsWith(In("config/quado/left/"))) << settings.fileName().toStdString();
    }
    UseInstanceSettings(QStringLiteral("right"));
    {
        QSettings settings;
        EXPECT_FALSE(settings.contains(QStringLiteral("Options/Mute"))) << "the left exhibit's choice leaked";
        EXPECT_TRUE(settings.fileName().startsWith(In("config/quado/right/"))) << settings.fileName().toStdString();
        settings.setValue(QStringLiteral("Options/Mute"), false);
    }
    UseInstanceSettings(QStringLiteral("left"));
    EXPECT_TRUE(QSettings().value(QStringLiteral("Options/Mute")).toBool());
    // Nothing landed where the unnamed Quado keeps its settings.
    EXPECT_FALSE(QFileInfo::exists(In("config/") + QString::fromLatin1(CQuadoApp::CompanyName)));
}

TEST(InstanceMqttId, TheDefaultIdIsTheHostsAndTheNameAndStaysAValidId)
{
    EXPECT_EQ(InstanceMqttId("kiosk3", "left"), "kiosk3-left");
    EXPECT_EQ(InstanceMqttId("kiosk3", ""), "kiosk3");
    const std::string strLongHost(64, 'h');
    const std::string strId = InstanceMqttId(strLongHost, std::string(MaxInstanceNameLength, 'n'));
    EXPECT_EQ(strId.size(), 64u);
    EXPECT_TRUE(IsValidMqttId(strId));
    EXPECT_EQ(strId.substr(strId.size() - MaxInstanceNameLength - 1), "-" + std::string(MaxInstanceNameLength, 'n'));

    EXPECT_EQ(VenueOf({"--mqtt", "mqtt://127.0.0.1", "--instance", "left"}).strMqttId, DefaultMqttId() + "-left");
    EXPECT_EQ(VenueOf({"--mqtt", "mqtt://127.0.0.1", "--instance", "left", "--mqtt-id", "hall2"}).strMqttId, "hall2");
    EXPECT_EQ(VenueOf({"--mqtt", "mqtt://127.0.0.1"}).strMqttId, "") << "the host name is filled in later, as before";
    // Without a broker an instance adds no MQTT option of its own, which
    // would be refused as one given without --mqtt.
    VenueOptions venue = VenueOf({"--instance", "left"});
    std::string strError;
    EXPECT_TRUE(PrepareVenueOptions(venue, strError)) << strError;
}

TEST(InstanceName, OnlyNamesSafeAsAFolderAFileAndAUnitAreTaken)
{
    for (const char* pszName : {"left", "Hall_2", "hall-2-left", "x", "0"})
        EXPECT_TRUE(IsValidInstanceName(pszName)) << pszName;
    for (const char* pszName : {"", ".", "..", "a/b", "a b", "hall.2", "\xC3\xA4", "%i", "a\\b"})
        EXPECT_FALSE(IsValidInstanceName(pszName)) << pszName;
    EXPECT_TRUE(IsValidInstanceName(std::string(MaxInstanceNameLength, 'a')));
    EXPECT_FALSE(IsValidInstanceName(std::string(MaxInstanceNameLength + 1, 'a')));
}
