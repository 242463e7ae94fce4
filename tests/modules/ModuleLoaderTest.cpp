// The loader: where it looks, and what it says when a module is missing, is
// no shared library at all, or is a library without the entry asked for.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include "fleet/IBrokerLink.h"
#include "protocol/ModuleLoader.h"
#include "records/IRecordsWindow.h"

namespace {

class ModuleLoader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override { unsetenv("QUADO_MODULE_DIR"); }

    void UseDir() { setenv("QUADO_MODULE_DIR", m_dir.path().toLocal8Bit().constData(), 1); }
    std::string Dir() const { return m_dir.path().toStdString(); }

    QTemporaryDir m_dir;
};

TEST_F(ModuleLoader, TheOverrideIsTheOnlyFolderAndTheBuildsModulesAreFoundWithoutIt)
{
    UseDir();
    EXPECT_EQ(ModuleFolders(), std::vector<std::string>{Dir()});

    // A program of the build tree (this test) finds the build's modules,
    // as quado-demo does under `make demo`.
    unsetenv("QUADO_MODULE_DIR");
    const std::vector<std::string> vecFolders = ModuleFolders();
    EXPECT_NE(std::find(vecFolders.begin(), vecFolders.end(), std::string(QUADO_BUILD_MODULES)), vecFolders.end());
    std::string strError;
    EXPECT_TRUE(LoadModuleSymbol(BrokerLinkModuleFile, BrokerLinkModuleSymbol, strError)) << strError;
}

TEST_F(ModuleLoader, AMissingModuleIsToldWithTheFolderLookedIn)
{
    UseDir();
    std::string strError;
    EXPECT_EQ(LoadModuleSymbol(BrokerLinkModuleFile, BrokerLinkModuleSymbol, strError), nullptr);
    EXPECT_EQ(strError, "quado-mqtt.so was not found in " + Dir());

    QString strWhy;
    EXPECT_EQ(MakeRecordsWindow(strWhy), nullptr);
    EXPECT_EQ(strWhy.toStdString(), "quado-records-window.so was not found in " + Dir());
}

TEST_F(ModuleLoader, AFileThatIsNoLibraryIsToldAsBrokenNotMissing)
{
    UseDir();
    QFile file(m_dir.filePath(QString::fromLatin1(BrokerLinkModuleFile)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not an ELF file\n");
    file.close();
    std::string strError;
    EXPECT_EQ(LoadModuleSymbol(BrokerLinkModuleFile, BrokerLinkModuleSymbol, strError), nullptr);
    EXPECT_EQ(strError.rfind("cannot load " + Dir() + "/quado-mqtt.so: ", 0), 0u) << strError;
}

TEST_F(ModuleLoader, ALibraryWithoutTheEntryIsToldAsAnotherVersion)
{
    UseDir();
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUADO_NOT_A_MODULE), m_dir.filePath(QString::fromLatin1(BrokerLinkModuleFile))));
    std::string strError;
    EXPECT_EQ(LoadModuleSymbol(BrokerLinkModuleFile, BrokerLinkModuleSymbol, strError), nullptr);
    EXPECT_EQ(strError, Dir() + "/quado-mqtt.so is not a module of this Quado version (it lacks " +
                            BrokerLinkModuleSymbol + ")");
}

TEST_F(ModuleLoader, AnEmptyOverrideCountsAsNone)
{
    setenv("QUADO_MODULE_DIR", "", 1);
    const std::vector<std::string> vecFolders = ModuleFolders();
    EXPECT_GE(vecFolders.size(), 2u);
    EXPECT_NE(std::find(vecFolders.begin(), vecFolders.end(), std::string(QUADO_BUILD_MODULES)), vecFolders.end());
}

} // namespace
