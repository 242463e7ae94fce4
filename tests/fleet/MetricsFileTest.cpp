// The metrics file only ever replaces a file of its own: a device, a named
// pipe or a folder that takes the file's place while Quado runs is left
// alone, said once on stderr (the refusal at start is tested with real
// processes in tests/records/OwnFileTest.cpp). A symbolic link leads to the
// file it names, and stays a link.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "fleet/Metrics.h"

namespace {

mode_t TypeAt(const std::string& strPath)
{
    struct stat st {};
    return ::lstat(strPath.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// Everything in the folder, hidden temporary files included.
QStringList Everything(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
}

struct Stranger {
    const char* pszName;
    mode_t nType;
    const char* pszKind;
};

// What may take the file's place: a device only where this runs as root.
std::vector<Stranger> Strangers()
{
    std::vector<Stranger> strangers = {{"pipe", S_IFIFO, "a named pipe"}, {"folder", S_IFDIR, "a folder"}};
    if (::geteuid() == 0)
        strangers.push_back({"device", S_IFCHR, "a device"});
    return strangers;
}

bool Make(const std::string& strPath, mode_t nType)
{
    switch (nType) {
    case S_IFIFO:
        return ::mkfifo(strPath.c_str(), 0644) == 0;
    case S_IFDIR:
        return ::mkdir(strPath.c_str(), 0755) == 0;
    default:
        return ::mknod(strPath.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
}

void Remove(const std::string& strPath)
{
    if (::unlink(strPath.c_str()) != 0)
        ::rmdir(strPath.c_str());
}

MetricsSample Sample()
{
    MetricsSample sample;
    sample.nGames = {1, 0, 0, 0};
    return sample;
}

} // namespace

TEST(MetricsFile, WhatTakesTheFilesPlaceWhileQuadoRunsIsLeftAloneAndSaidOnce)
{
    for (const Stranger& stranger : Strangers()) {
        QTemporaryDir dir;
        const std::string strPath = dir.filePath("quado.prom").toStdString();
        CMetricsWriter writer(strPath, Sample);
        writer.Start();
        ASSERT_EQ(TypeAt(strPath), mode_t(S_IFREG));
        ASSERT_EQ(writer.Writes(), 1u);

        Remove(strPath);
        ASSERT_TRUE(Make(strPath, stranger.nType)) << std::strerror(errno);
        testing::internal::CaptureStderr();
        // The last file at exit, twice: a second refusal is not said again.
        writer.Finish();
        writer.Finish();
        const std::string strErr = testing::internal::GetCapturedStderr();
        EXPECT_EQ(strErr, "Quado: metrics: " + strPath + " is now " + stranger.pszKind +
                              ", not a file; it is left as it is\n");
        EXPECT_EQ(writer.Writes(), 1u);
        EXPECT_EQ(TypeAt(strPath), stranger.nType) << stranger.pszName << " was replaced";
        EXPECT_EQ(Everything(dir), QStringList{"quado.prom"}) << "a temporary file was left";

        // The file back: written again, and said so.
        Remove(strPath);
        testing::internal::CaptureStderr();
        writer.Finish();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quado: metrics: writing " + strPath + " again\n");
        EXPECT_EQ(TypeAt(strPath), mode_t(S_IFREG));
    }
}

TEST(MetricsFile, ALinkLeadsToItsFileAndIsKept)
{
    QTemporaryDir dir;
    const std::string strReal = dir.filePath("real.prom").toStdString();
    const std::string strLink = dir.filePath("quado.prom").toStdString();
    ASSERT_EQ(::symlink(strReal.c_str(), strLink.c_str()), 0);
    std::string strError;
    // A link to nothing yet, then to the file the first write made.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(ReplaceFile(strLink, "quado_up 1\n", strError)) << strError;
        EXPECT_EQ(TypeAt(strLink), mode_t(S_IFLNK));
        EXPECT_EQ(TypeAt(strReal), mode_t(S_IFREG));
    }
    QFile real(QString::fromStdString(strReal));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    EXPECT_EQ(real.readAll(), "quado_up 1\n");

    // A link to a pipe leads to a pipe: refused, both left.
    const std::string strPipe = dir.filePath("pipe").toStdString();
    ASSERT_EQ(::mkfifo(strPipe.c_str(), 0644), 0);
    const std::string strToPipe = dir.filePath("to-pipe.prom").toStdString();
    ASSERT_EQ(::symlink(strPipe.c_str(), strToPipe.c_str()), 0);
    EXPECT_FALSE(ReplaceFile(strToPipe, "quado_up 1\n", strError));
    EXPECT_NE(strError.find("is now a named pipe"), std::string::npos) << strError;
    EXPECT_EQ(TypeAt(strPipe), mode_t(S_IFIFO));
    EXPECT_EQ(TypeAt(strToPipe), mode_t(S_IFLNK));
}
