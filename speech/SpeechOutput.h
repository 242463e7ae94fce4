// The Speak Texts switch: off, nothing is loaded and nothing said; on, the
// engine is loaded once (in the background) and each panel text shown is
// said. When no engine can be had the switch goes off and stays greyed with
// the reason. Mute is not its business: the tones have their own switch.
// UI thread only.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "speech/ISpeechEngine.h"

class CSpeaker;

class CSpeechOutput : public QObject {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<ISpeechEngine>()>;
    // Some engine installed, or the reason none is.
    using InstalledProbe = std::function<bool(QString* pstrReason)>;

    // Without arguments: Qt's text to speech, its engine picked by
    // QUADO_SPEECH_ENGINE (speechd, flite) when that is set.
    explicit CSpeechOutput(EngineFactory factory = {}, InstalledProbe probe = {}, QObject* pParent = nullptr);
    ~CSpeechOutput() override;

    // Another engine, before the switch first goes on (a test's stand-in).
    void SetEngineFactory(EngineFactory factory) { m_factory = std::move(factory); }

    // Looks (cheaply) whether any engine is installed; greys the switch when
    // none is. Once is enough.
    void CheckInstalled();
    // Unavailable once an engine was found missing or failed to load.
    bool IsAvailable() const { return m_strUnavailable.isEmpty(); }
    const QString& UnavailableReason() const { return m_strUnavailable; }
    bool IsOn() const { return m_bOn; }
    // The engine loaded and ready for the texts.
    bool IsLoaded() const { return m_bLoaded; }
    // False (and nothing changes) when turned on while unavailable.
    bool SetOn(bool bOn);

    // The panel shows this text now: said when on, cutting the last one.
    void ShowText(const std::wstring& strPanel);

signals:
    // On, off, loaded, or unavailable.
    void Changed();

private:
    void OnLoaded(bool bOk, const QString& strReason);

    EngineFactory m_factory;
    InstalledProbe m_probe;
    // The speaker before the engine it speaks through goes.
    std::unique_ptr<ISpeechEngine> m_pEngine;
    std::unique_ptr<CSpeaker> m_pSpeaker;
    bool m_bOn = false;
    bool m_bLoaded = false;
    bool m_bChecked = false;
    QString m_strUnavailable;
};
