// Options > Speak Texts: the panel's texts said aloud as they are shown, and
// the menu item that says why it is greyed when no speech engine can be had.
#include "app/MainFrame.h"

#include <QAction>

#include "app/CommandIds.h"

void CMainFrame::ConnectSpeech()
{
    // Manual driver and game alike: what the panel shows is what is said.
    connect(&m_wndView, &CChildView::PanelTextChanged, this, [this] { m_speech.ShowText(m_wndView.PanelText()); });
    connect(&m_speech, &CSpeechOutput::Changed, this, [this] {
        UpdateCommandUI();
        if (m_speech.IsOn() != m_bSpeakShown) {
            m_bSpeakShown = m_speech.IsOn();
            emit SpeakChanged(m_bSpeakShown);
        }
    });
}

bool CMainFrame::SetSpeak(bool bOn)
{
    return m_speech.SetOn(bOn);
}

void CMainFrame::UpdateSpeakCommand()
{
    QAction* pAction = FindCommand(CommandId::Speak);
    if (!pAction)
        return;
    pAction->setEnabled(m_speech.IsAvailable());
    pAction->setToolTip(m_speech.UnavailableReason());
    pAction->setStatusTip(m_speech.UnavailableReason());
}
