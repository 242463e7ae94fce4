#include "tests/instances/OffscreenScreens.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The platform's native interface, as far as this needs it: the toolkit
// declares it only in its private headers, and its first virtual function
// after QObject's is the one that hands out the platform's own functions.
class QPlatformNativeInterface : public QObject {
public:
    virtual void* nativeResourceForIntegration(const QByteArray& resource);
};

namespace instancestest {

namespace {

QJsonObject Configuration(const QVector<ScreenSetup>& screens)
{
    QJsonArray list;
    for (const ScreenSetup& screen : screens) {
        list.append(QJsonObject{{"name", screen.strName},
                                {"x", screen.rc.x()},
                                {"y", screen.rc.y()},
                                {"width", screen.rc.width()},
                                {"height", screen.rc.height()},
                                {"logicalDpi", 96},
                                {"dpr", 1}});
    }
    return QJsonObject{{"screens", list}};
}

} // namespace

QByteArray ScreensJson(const QVector<ScreenSetup>& screens)
{
    return QJsonDocument(Configuration(screens)).toJson();
}

bool SetScreens(const QVector<ScreenSetup>& screens)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        return false;
    QPlatformNativeInterface* pInterface = QGuiApplication::platformNativeInterface();
    if (!pInterface)
        return false;
    void* pFunction = pInterface->nativeResourceForIntegration("setConfiguration");
    if (!pFunction)
        return false;
    using SetConfiguration = void (*)(const QJsonObject&, QPlatformNativeInterface*);
    reinterpret_cast<SetConfiguration>(pFunction)(Configuration(screens), pInterface);
    return true;
}

} // namespace instancestest
