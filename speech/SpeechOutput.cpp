#include "speech/SpeechOutput.h"


#include "speech/QtSpeechEngine.h"
#include "speech/Speaker.h"

CSpeechOutput::CSpeechOutput(EngineFactory factory, InstalledProbe probe, QObject* pParent)
    : QObject(pParent)
    , m_factory(std::move(factory))
    , m_probe(std::move(probe))
{
    if (!m_factory) {
        m_factory = [strEngine = qEnvironmentVariable("QUADO_SPEECH_ENGINE")] {
            return std::make_unique<CQtSpeechEngine>(strEngine);
        };
    }
    if (!m_probe)
        m_probe = &CQtSpeechEngine::IsInstalled;
}

CSpeechOutput::~CSpeechOutput()
{
    m_pSpeaker.reset();
    m_pEngine.reset();
}

void CSpeechOutput::CheckInstalled()
{
    if (m_bChecked || m_pEngine)
        return;
    m_bChecked = true;
    QString strReason;
    if (!m_probe(&strReason)) {
        m_strUnavailable = strReason.isEmpty() ? tr("No speech engine is installed.") : strReason;
        m_bOn = false;
        emit Changed();
    }
}

bool CSpeechOutput::SetOn(bool bOn)
{
    if (bOn == m_bOn)
        return true;
    if (bOn) {
        CheckInstalled();
        if (!IsAvailable())
            return false;
    }
    m_bOn = bOn;
    if (!m_bOn && m_pSpeaker)
        m_pSpeaker->Stop();
    if (m_bOn && !m_pEngine) {
        m_pEngine = m_factory();
        m_pSpeaker = std::make_unique<CSpeaker>(*m_pEngine);
        // The engine reports on the UI thread, never from inside a call;
        // this object outlives it.
        m_pEngine->Start({[this](bool bOk, const QString& strReason) { OnLoaded(bOk, strReason); },
                          [this](int nId) { m_pSpeaker->OnSaid(nId); }});
    }
    emit Changed();
    return true;
}

void CSpeechOutput::OnLoaded(bool bOk, const QString& strReason)
{
    if (bOk) {
        m_bLoaded = true;
        emit Changed();
        return;
    }
    m_strUnavailable = strReason.isEmpty() ? tr("The speech engine could not be loaded.") : strReason;
    m_bOn = false;
    m_pSpeaker->Stop();
    emit Changed();
}

void CSpeechOutput::ShowText(const std::wstring& strPanel)
{
    // Texts shown while the engine loads wait on its thread behind the load.
    if (m_bOn && m_pSpeaker)
        m_pSpeaker->Speak(strPanel);
}
