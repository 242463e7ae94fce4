// The adapter window on simulated adapters that this user may not open: the
// status line tells once per such arrival how to get access, without a
// message box, and an adapter merely held by another program is not
// mistaken for one.
#include <QApplication>
#include <QByteArray>
#include <QPixmap>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <string>

#include "device/IHidBackend.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/QuadoDravikDriver.h"
#include "platform/DeviceNotifier.h"
#include "platform/MessageBox.h"
#include "tests/support/MessageBoxCapture.h"
#include "tools/common/HidrawInjection.h"

namespace {

constexpr char AdapterHidId[] = "0003:000010C4:00008253";
constexpr char ForeignHidId[] = "0003:0000046D:0000C52B";

} // namespace

class AccessHintTest : public QObject {
    Q_OBJECT

private:
    CSimulatedHidBackend* m_pBackend = nullptr;
    std::unique_ptr<CMessageBoxCapture> m_pBoxes;

    void AddAdapter(const std::string& strNode, const std::string& strSerial, HidOpenError refusal)
    {
        SimulatedDeviceSetup setup;
        setup.strPath = strNode;
        setup.strSerial = strSerial;
        m_pBackend->AddAdapter(setup, std::make_shared<CSimulatedAdapter>());
        m_pBackend->SetOpenRefusal(strNode, refusal);
    }

    // The system's uevent for a plug or pull, handled before this returns.
    static void Hotplug(HidrawUevent::Action nAction, const std::string& strNode, const char* pszHidId = AdapterHidId)
    {
        InjectHidrawUevent({nAction, strNode, nAction == HidrawUevent::Action::Add ? pszHidId : ""});
        QCoreApplication::sendPostedEvents();
    }

    static bool SaysNotConnectedOnly(const CQuadoDravikDriver& dlg)
    {
        return dlg.m_strStatus == "NOT CONNECTED" && dlg.m_stStatus.text() == "NOT CONNECTED" &&
               dlg.m_stStatus.toolTip().isEmpty();
    }

    // The hint a user can act on: still not connected, what is wrong, what to
    // do, and the whole way on the tool tip.
    static void VerifyHintShown(const CQuadoDravikDriver& dlg)
    {
        const QString strStatus = dlg.m_stStatus.text();
        QCOMPARE(strStatus, dlg.m_strStatus);
        QVERIFY2(strStatus.startsWith("NOT CONNECTED"), qPrintable(strStatus));
        QVERIFY2(strStatus.contains("without access"), qPrintable(strStatus));
        QVERIFY2(strStatus.contains("udev rule"), qPrintable(strStatus));
        QVERIFY2(strStatus.contains("re-plug"), qPrintable(strStatus));
        const QString strTip = dlg.m_stStatus.toolTip();
        QVERIFY2(strTip.contains("70-quado-dravik.rules") && strTip.contains("udevadm control --reload-rules") &&
                     strTip.contains("quado package"),
                 qPrintable(strTip));
    }

private slots:
    void init()
    {
        m_pBackend = new CSimulatedHidBackend;
        SetHidBackend(m_pBackend);
        m_pBoxes = std::make_unique<CMessageBoxCapture>();
    }

    void cleanup()
    {
        for (const char* pszNode : {"/dev/hidraw0", "/dev/hidraw1", "/dev/hidraw2", "/dev/hidraw3"})
            InjectHidrawUevent({HidrawUevent::Action::Remove, pszNode, ""});
        QCoreApplication::sendPostedEvents();
        QVERIFY2(m_pBoxes->m_vecBoxes.empty(), "no message box about access, ever");
        m_pBoxes.reset();
        SetHidBackend(nullptr);
        delete m_pBackend;
        m_pBackend = nullptr;
    }

    void RefusedAdapterPresentAtStartIsToldAtOnce()
    {
        AddAdapter("/dev/hidraw0", "DENIED-1", HidOpenError::PermissionDenied);
        CQuadoDravikDriver dlg;
        QCOMPARE(dlg.m_cbDevices.count(), 0);
        QCOMPARE(dlg.m_cbDevices.lineEdit()->placeholderText(), QString("Adapter present, no access (udev rule?)"));
        QVERIFY(dlg.IsAccessHintShown());
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        VerifyHintShown(dlg);
        // QUADO_SCREENSHOT=path keeps a picture of the window saying so.
        if (const QByteArray path = qgetenv("QUADO_SCREENSHOT"); !path.isEmpty())
            dlg.grab().save(QString::fromLocal8Bit(path));

        // Refreshes while the same adapter stays refused do not tell it again.
        dlg.RefreshDeviceList();
        dlg.RefreshDeviceList();
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        VerifyHintShown(dlg);
    }

    void EachArrivalOfARefusedAdapterIsToldOnce()
    {
        CQuadoDravikDriver dlg;
        QVERIFY(SaysNotConnectedOnly(dlg));
        QCOMPARE(dlg.GetAccessHintsRaised(), 0u);

        AddAdapter("/dev/hidraw0", "DENIED-1", HidOpenError::PermissionDenied);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw0");
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        VerifyHintShown(dlg);

        // Unrelated devices coming and going refresh nothing, or refresh the
        // list without a new word.
        SimulatedDeviceSetup mouse;
        mouse.strPath = "/dev/hidraw1";
        mouse.nVendorId = 0x046D;
        mouse.nProductId = 0xC52B;
        m_pBackend->AddDevice(mouse);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw1", ForeignHidId);
        Hotplug(HidrawUevent::Action::Remove, "/dev/hidraw1");
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        VerifyHintShown(dlg);

        // A second refused adapter is a second arrival.
        AddAdapter("/dev/hidraw2", "DENIED-2", HidOpenError::PermissionDenied);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw2");
        QCOMPARE(dlg.GetAccessHintsRaised(), 2u);

        // Pulling one leaves the other refused: the hint stays, not retold.
        m_pBackend->Unplug("/dev/hidraw2");
        Hotplug(HidrawUevent::Action::Remove, "/dev/hidraw2");
        QCOMPARE(dlg.GetAccessHintsRaised(), 2u);
        VerifyHintShown(dlg);

        // With no refused adapter left the line is plain again...
        m_pBackend->Unplug("/dev/hidraw0");
        Hotplug(HidrawUevent::Action::Remove, "/dev/hidraw0");
        QVERIFY(!dlg.IsAccessHintShown());
        QVERIFY(SaysNotConnectedOnly(dlg));
        QVERIFY(dlg.m_cbDevices.lineEdit()->placeholderText().isEmpty());

        // ...and plugging it in again, still refused, tells again.
        m_pBackend->Replug("/dev/hidraw0");
        m_pBackend->SetOpenRefusal("/dev/hidraw0", HidOpenError::PermissionDenied);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw0");
        QCOMPARE(dlg.GetAccessHintsRaised(), 3u);
        VerifyHintShown(dlg);
    }

    void AdapterHeldByAnotherProgramIsNoPermissionProblem()
    {
        CQuadoDravikDriver dlg;
        AddAdapter("/dev/hidraw0", "BUSY-1", HidOpenError::InUse);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw0");
        QVERIFY(m_pBackend->GetOpenAttempts("/dev/hidraw0") > 0);
        QCOMPARE(dlg.m_cbDevices.count(), 0);
        QCOMPARE(dlg.GetAccessHintsRaised(), 0u);
        QVERIFY(SaysNotConnectedOnly(dlg));
        QVERIFY(dlg.m_cbDevices.lineEdit()->placeholderText().isEmpty());

        // Nor is any other failure to open it.
        AddAdapter("/dev/hidraw1", "BROKEN-1", HidOpenError::Other);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw1");
        QCOMPARE(dlg.GetAccessHintsRaised(), 0u);
        QVERIFY(SaysNotConnectedOnly(dlg));
    }

    void RefusedAdapterBesideAUsableOneIsToldToo()
    {
        AddAdapter("/dev/hidraw0", "OPEN-1", HidOpenError::None);
        AddAdapter("/dev/hidraw1", "DENIED-1", HidOpenError::PermissionDenied);
        CQuadoDravikDriver dlg;
        QCOMPARE(dlg.m_cbDevices.count(), 1);
        QCOMPARE(dlg.m_cbDevices.itemText(0), QString("OPEN-1"));
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        VerifyHintShown(dlg);
        QVERIFY(dlg.m_cbDevices.lineEdit()->placeholderText().isEmpty());
    }

    void ConnectionAnswersTheHintAndHidesNothingWhileConnected()
    {
        AddAdapter("/dev/hidraw0", "OPEN-1", HidOpenError::None);
        CQuadoDravikDriver dlg;
        dlg.ToggleConnection();
        QVERIFY(dlg.IsConnected());
        const QString strConnected = dlg.m_strStatus;
        QVERIFY(strConnected.startsWith("CONNECTED"));

        // A refused adapter arriving now is remembered, but the line keeps
        // showing the connected adapter.
        AddAdapter("/dev/hidraw1", "DENIED-1", HidOpenError::PermissionDenied);
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw1");
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        QCOMPARE(dlg.m_stStatus.text(), strConnected);
        QVERIFY(dlg.m_stStatus.toolTip().isEmpty());

        // After the disconnect the word is there to read.
        dlg.ToggleConnection();
        QVERIFY(!dlg.IsConnected());
        VerifyHintShown(dlg);

        // A successful connection answers it; the next disconnect is plain.
        // (The refresh while connected left the held adapter out of the list.)
        dlg.RefreshDeviceList();
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
        dlg.ToggleConnection();
        QVERIFY(dlg.IsConnected());
        dlg.ToggleConnection();
        QVERIFY(SaysNotConnectedOnly(dlg));
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
    }

    void AccessGrantedThenReplugListsTheAdapter()
    {
        AddAdapter("/dev/hidraw0", "DENIED-1", HidOpenError::PermissionDenied);
        CQuadoDravikDriver dlg;
        VerifyHintShown(dlg);

        // The rule installed: the re-plugged adapter (a fresh device node) opens.
        m_pBackend->Unplug("/dev/hidraw0");
        Hotplug(HidrawUevent::Action::Remove, "/dev/hidraw0");
        m_pBackend->Replug("/dev/hidraw0");
        Hotplug(HidrawUevent::Action::Add, "/dev/hidraw0");
        QCOMPARE(dlg.m_cbDevices.count(), 1);
        QCOMPARE(dlg.m_cbDevices.itemText(0), QString("DENIED-1"));
        QVERIFY(SaysNotConnectedOnly(dlg));
        QCOMPARE(dlg.GetAccessHintsRaised(), 1u);
    }
};

QTEST_MAIN(AccessHintTest)
#include "AccessHintTest.moc"
