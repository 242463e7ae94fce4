// Switching the screen itself off and on again, where the X server offers
// DPMS. The library is loaded only under the xcb platform, and only asked
// when the server has the extension; elsewhere nothing is switched.
#pragma once

#include <memory>

class CDisplayPower {
public:
    // Looks once: the platform, the library, the server's extension.
    CDisplayPower();
    ~CDisplayPower();
    CDisplayPower(const CDisplayPower&) = delete;
    CDisplayPower& operator=(const CDisplayPower&) = delete;

    bool IsAvailable() const { return m_pImpl != nullptr; }
    // False when it cannot be done (then nothing changed).
    bool SwitchOff();
    void SwitchOn();

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
