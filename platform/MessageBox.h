// Modal message boxes (OK button, one icon) for the frame and the tool
// windows, behind a hook so tests can capture a box instead of showing it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class MessageIcon {
    Information,
    Exclamation, // shown as a warning sign
    Stop,        // shown as a critical-error sign
};

// What QuadoMessageBox returns when the box was closed.
constexpr int MessageBoxOk = 1;

// Shows a modal box owned by pOwner (may be null) and returns when it is
// closed. With a hook installed the hook answers instead.
int QuadoMessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption,
                    MessageIcon icon);

using MessageBoxHook =
    std::function<int(QWidget* pOwner, const QString& strText, const QString& strCaption, MessageIcon icon)>;

// Installs a hook (an empty one restores the real box); returns the previous.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
