#include "records/IRecordsWindow.h"

#include <string>

#include "protocol/ModuleLoader.h"

std::unique_ptr<IRecordsWindow> MakeRecordsWindow(QString& strError)
{
    std::string strWhy;
    auto fnMake = reinterpret_cast<RecordsWindowFactory>(
        LoadModuleSymbol(RecordsWindowModuleFile, RecordsWindowFactorySymbol, strWhy));
    if (!fnMake) {
        strError = QString::fromStdString(strWhy);
        return nullptr;
    }
    return std::unique_ptr<IRecordsWindow>(fnMake(nullptr));
}
