// What the main frame asks of the Records window. The window and Qt Charts
// live in a module of their own (quado-records-window.so), loaded the first
// time the window is wanted, so that a start never pays for them.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class CRecordStore;
class QWidget;

class IRecordsWindow {
public:
    virtual ~IRecordsWindow() = default;

    // The window itself, to show and place like the frame's other tool windows.
    virtual QWidget* Widget() = 0;
    // The store to read and follow; null while records are off, and then
    // strOff says why.
    virtual void SetStore(CRecordStore* pStore, const QString& strOff = QString()) = 0;
    // Called when Hide, Escape or the close box asks the window away.
    virtual void SetHideHandler(std::function<void()> fnHide) = 0;
};

// The module's file and its one symbol: IRecordsWindow* (QWidget* pParent).
// The number goes up whenever the interface changes.
constexpr const char* RecordsWindowModuleFile = "quado-records-window.so";
constexpr const char* RecordsWindowFactorySymbol = "QuadoMakeRecordsWindow_1";
using RecordsWindowFactory = IRecordsWindow* (*)(QWidget* pParent);

// A new Records window from the module (loaded on the first call); null with
// the reason in strError when the module is missing or broken.
std::unique_ptr<IRecordsWindow> MakeRecordsWindow(QString& strError);
