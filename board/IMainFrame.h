// What the board view and the tool windows may ask of the main frame that owns
// them. The frame implements it and hands each of them a plain pointer once;
// through it the lower rooms reach the frame without knowing the application.
#pragma once

class IMainFrame {
public:
    virtual bool IsFullScreen() const = 0;
    virtual void ToggleFullScreen() = 0;
    // The Show menu's toggles, as the tool windows' Hide and close box use them.
    virtual void ToggleDravikDriver() = 0;
    virtual void ToggleManualDriver() = 0;
    // The adapter window connected (the manual driver's window is closed then)
    // or disconnected.
    virtual void OnDravikConnectionChanged(bool bConnected) = 0;
    // Brings every check mark and enabled state up to date with the flags.
    virtual void UpdateCommandUI() = 0;

protected:
    ~IMainFrame() = default;
};
