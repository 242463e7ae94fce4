#include "speech/SpeechWorker.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// Speech-dispatcher first: its voices usually include German, flite's never do.
QStringList EnginesToTry(const QString& strEngine)
{
    if (!strEngine.isEmpty())
        return {strEngine};
    QStringList engines = QTextToSpeech::availableEngines();
    QStringList ordered;
    for (const QString& strPreferred : {QStringLiteral("speechd"), QStringLiteral("flite")}) {
        if (engines.removeAll(strPreferred) > 0)
            ordered.append(strPreferred);
    }
    return ordered + engines;
}

// Among the engine's locales, the one for that language, the country's own
// first (Britain for English, Germany for German).
std::optional<QLocale> FindLocale(const QList<QLocale>& locales, QLocale::Language nLanguage,
                                  QLocale::Territory nHome)
{
    std::optional<QLocale> found;
    for (const QLocale& locale : locales) {
        if (locale.language() != nLanguage)
            continue;
        if (locale.territory() == nHome)
            return locale;
        if (!found)
            found = locale;
    }
    return found;
}

} // namespace

namespace {

constexpr int DrainGuardMs = 500;

} // namespace

CSpeechWorker::CSpeechWorker(QString strEngine)
    : m_strEngine(std::move(strEngine))
    // A child, so that it moves with the worker to the speech thread: a
    // timer left on the thread that built the worker cannot be started
    // from the speech thread, and the drain would wait for ever.
    , m_drainGuard(this)
{
    m_drainGuard.setSingleShot(true);
    m_drainGuard.setInterval(DrainGuardMs);
    connect(&m_drainGuard, &QTimer::timeout, this, &CSpeechWorker::EndDrain);
}

CSpeechWorker::~CSpeechWorker() = default;

void CSpeechWorker::Load()
{
    QStringList reasons;
    for (const QString& strEngine : EnginesToTry(m_strEngine)) {
        auto pSpeech = std::make_unique<QTextToSpeech>(strEngine);
        const QTextToSpeech::ErrorReason nError = pSpeech->errorReason();
        // A configuration complaint (no default voice) still speaks; an
        // engine that cannot start or has nowhere to play does not.
        if (nError == QTextToSpeech::ErrorReason::Initialization || nError == QTextToSpeech::ErrorReason::Playback ||
            pSpeech->availableLocales().isEmpty()) {
            const QString strWhy = pSpeech->errorString().isEmpty()
                ? QCoreApplication::translate("CSpeechWorker", "no voices")
                : pSpeech->errorString();
            reasons.append(strEngine + QLatin1String(": ") + strWhy);
            continue;
        }
        m_pSpeech = std::move(pSpeech);
        break;
    }
    if (!m_pSpeech) {
        emit Loaded(false, reasons.isEmpty()
                               ? QCoreApplication::translate("CSpeechWorker", "No speech engine is installed.")
                               : reasons.join(QLatin1String("; ")));
        return;
    }
    const QList<QLocale> locales = m_pSpeech->availableLocales();
    m_english = FindLocale(locales, QLocale::English, QLocale::UnitedKingdom);
    m_german = FindLocale(locales, QLocale::German, QLocale::Germany);
    connect(m_pSpeech.get(), &QTextToSpeech::stateChanged, this, &CSpeechWorker::OnStateChanged);
    connect(m_pSpeech.get(), &QTextToSpeech::errorOccurred, this, &CSpeechWorker::OnError);
    emit Loaded(true, QString());
}

void CSpeechWorker::Say(int nId, const QString& strText, SpokenLanguage nLanguage)
{
    if (!m_pSpeech)
        return;
    Stop();
    if (m_bDraining)
        m_pending = Phrase{nId, strText, nLanguage};
    else
        SayNow({nId, strText, nLanguage});
}

void CSpeechWorker::SayNow(const Phrase& phrase)
{
    const std::optional<QLocale>& locale = phrase.nLanguage == SpokenLanguage::German ? m_german : m_english;
    // German words in an English voice are noise; English in whatever voice
    // the engine has is still English.
    if (!locale && phrase.nLanguage == SpokenLanguage::German) {
        emit Said(phrase.nId);
        return;
    }
    if (locale && m_pSpeech->locale() != *locale)
        m_pSpeech->setLocale(*locale);
    m_nCurrentId = phrase.nId;
    m_bStarted = false;
    m_pSpeech->say(phrase.strText);
}

void CSpeechWorker::Stop()
{
    m_pending.reset();
    if (!m_pSpeech || m_nCurrentId == 0)
        return;
    m_nCurrentId = 0;
    m_bDraining = true;
    m_drainGuard.start();
    m_pSpeech->stop();
}

void CSpeechWorker::EndDrain()
{
    m_bDraining = false;
    m_drainGuard.stop();
    if (m_pending) {
        const Phrase phrase = *m_pending;
        m_pending.reset();
        SayNow(phrase);
    }
}

void CSpeechWorker::OnStateChanged(QTextToSpeech::State nState)
{
    if (m_bDraining) {
        if (nState == QTextToSpeech::Ready && m_pSpeech->state() == QTextToSpeech::Ready)
            EndDrain();
        return;
    }
    if (m_nCurrentId == 0)
        return;
    if (nState == QTextToSpeech::Speaking)
        m_bStarted = true;
    else if (nState == QTextToSpeech::Ready && m_bStarted)
        Finish();
}

void CSpeechWorker::OnError()
{
    if (m_nCurrentId != 0)
        Finish();
}

void CSpeechWorker::Finish()
{
    const int nId = m_nCurrentId;
    m_nCurrentId = 0;
    m_bStarted = false;
    emit Said(nId);
}
