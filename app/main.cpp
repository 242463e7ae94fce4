// Quado's entry point: one application object, one message loop.
#include <QApplication>

#include "app/HoursCommand.h"
#include "app/QuadoApp.h"
#include "app/RecordsCommand.h"
#include "app/StartOptions.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"

int main(int argc, char* argv[])
{
    // Before the toolkit: help, version and refusals need no display.
    StartOptions options;
    if (const int nExit = HandleStartOptions(argc, argv, false, &options); nExit >= 0)
        return nExit;
    if (options.bExportRecords)
        return RunRecordsExport(argc, argv, options);
    if (options.bExplainHours)
        return RunHoursExplain(options);
    // The first picture's images are unpacked while the toolkit starts.
    PrefetchBitmaps({AssetId::CanvasDim});
    QApplication application(argc, argv);
    // Widgets must go before the QApplication: the app object lives inside.
    CQuadoApp theApp;
    if (!theApp.InitInstance(options))
        return 1;
    return theApp.Run();
}
