// What the benchmarks need of a venue beyond the tests' broker and loopback
// helpers: a venue reporter on an adapter link and board view as the
// program wires it.
#pragma once

#include <memory>
#include <string>

#include "board/ChildView.h"
#include "drivers/AdapterLink.h"
#include "fleet/VenueReporter.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/Loopback.h"

namespace benchvenue {

// Debian's mosquitto on a free loopback port. Without TCP_NODELAY the
// broker holds a message to a subscriber for up to 40 ms while its last one
// is unacknowledged: that is the broker's delay, not Quado's.
inline bool StartBroker(fleettest::CBroker& broker)
{
    return broker.Start(QStringLiteral("allow_anonymous true\nset_tcp_nodelay true\n"));
}

// A reporter on the link's game events whose state reads the view and the
// link as the program's does.
inline std::unique_ptr<CVenueReporter> AttachReporter(int nPort, CAdapterLink& link, CChildView* pView)
{
    VenueOptions options;
    options.bMqtt = true;
    options.mqtt = MqttEndpoint{false, "127.0.0.1", nPort, ""};
    options.strMqttId = "bench";
    auto pReporter = std::make_unique<CVenueReporter>(
        options, "bench", link.GameEvents(),
        [&link, pView] {
            VenueSnapshot s;
            s.bConnected = link.GameEvents().IsConnected();
            s.strSerial = link.GameEvents().Serial();
            s.bGameRunning = link.GameEvents().IsGameOpen();
            s.strStatus = link.Status().toStdWString();
            if (pView) {
                s.nLitQuadrant = pView->m_nLitQuadrant;
                s.strPanelText = pView->PanelText();
            }
            return s;
        },
        CVenueReporter::CommandHandler());
    std::string strError;
    if (!pReporter->Start(strError))
        return nullptr;
    return pReporter;
}

} // namespace benchvenue
