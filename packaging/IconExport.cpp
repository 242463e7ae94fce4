// Build-time exporter of Quado's application icon for the desktop: the same
// small board the program shows as its window icon, written at the sizes the
// freedesktop icon theme looks for. Run by CMake as
// `quado_iconexport <output dir> <icon name> <size>...`; needs no display.
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include "assets/gen/BoardArt.h"

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: quado_iconexport <output dir> <icon name> <size>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const QString strName = QString::fromLocal8Bit(argv[2]);
    bool bFailed = false;
    for (int i = 3; i < argc; ++i) {
        char* pszEnd = nullptr;
        const long nSize = std::strtol(argv[i], &pszEnd, 10);
        if (*pszEnd != '\0' || nSize < 8 || nSize > 1024) {
            std::fprintf(stderr, "quado_iconexport: bad size %s\n", argv[i]);
            return 2;
        }
        const QString strSub = QString("%1x%1/apps").arg(nSize);
        const QString strPath = dirOut.filePath(strSub + '/' + strName + ".png");
        if (!dirOut.mkpath(strSub) || !BoardArt::RenderAppIcon(static_cast<int>(nSize)).save(strPath, "PNG")) {
            std::fprintf(stderr, "quado_iconexport: cannot write %s\n", qPrintable(strPath));
            bFailed = true;
        }
    }
    return bFailed ? 1 : 0;
}
