// The Records window module's one entry: the loader finds it by name.
#include "records/IRecordsWindow.h"
#include "records/RecordsWindow.h"

extern "C" __attribute__((visibility("default"))) IRecordsWindow* QuadoMakeRecordsWindow_1(QWidget* pParent)
{
    return new CRecordsWindow(pParent);
}
