#include "speech/QtSpeechEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#ifdef QUADO_HAVE_TEXTTOSPEECH
#include <QTextToSpeech>

#include "speech/SpeechWorker.h"
#endif

CQtSpeechEngine::CQtSpeechEngine(QString strEngine, QObject* pParent)
    : QObject(pParent)
    , m_strEngine(std::move(strEngine))
{
}

CQtSpeechEngine::~CQtSpeechEngine()
{
#ifdef QUADO_HAVE_TEXTTOSPEECH
    if (!m_pThread)
        return;
    // The engine goes on its own thread, after whatever was asked before.
    CSpeechWorker* pWorker = m_pWorker;
    QMetaObject::invokeMethod(pWorker, [pWorker] {
        delete pWorker;
        QThread::currentThread()->quit();
    });
    if (m_pThread->wait(static_cast<unsigned long>(EndWait.count())))
        delete m_pThread;
    // else: still inside the speech library; the thread and its worker are
    // left to end with the process.
#endif
}

bool CQtSpeechEngine::IsBuiltIn()
{
#ifdef QUADO_HAVE_TEXTTOSPEECH
    return true;
#else
    return false;
#endif
}

bool CQtSpeechEngine::IsInstalled(QString* pstrReason)
{
    QString strReason;
#ifdef QUADO_HAVE_TEXTTOSPEECH
    if (QTextToSpeech::availableEngines().isEmpty())
        strReason = QCoreApplication::translate("CQtSpeechEngine",
                                                "No speech engine is installed (speech-dispatcher or flite).");
#else
    strReason = QCoreApplication::translate("CQtSpeechEngine", "This Quado was built without speech.");
#endif
    if (pstrReason)
        *pstrReason = strReason;
    return strReason.isEmpty();
}

void CQtSpeechEngine::Start(Handlers handlers)
{
    m_handlers = std::move(handlers);
#ifdef QUADO_HAVE_TEXTTOSPEECH
    if (m_pThread)
        return;
    m_pThread = new QThread;
    m_pThread->setObjectName(QStringLiteral("speech"));
    m_pWorker = new CSpeechWorker(m_strEngine);
    m_pWorker->moveToThread(m_pThread);
    connect(m_pWorker, &CSpeechWorker::Loaded, this, [this](bool bOk, const QString& strReason) {
        if (m_handlers.onLoaded)
            m_handlers.onLoaded(bOk, strReason);
    });
    connect(m_pWorker, &CSpeechWorker::Said, this, [this](int nId) {
        if (m_handlers.onSaid)
            m_handlers.onSaid(nId);
    });
    m_pThread->start();
    QMetaObject::invokeMethod(m_pWorker, &CSpeechWorker::Load);
#else
    // Told as an engine would: later, never from inside the call.
    QTimer::singleShot(0, this, [this] {
        QString strReason;
        IsInstalled(&strReason);
        if (m_handlers.onLoaded)
            m_handlers.onLoaded(false, strReason);
    });
#endif
}

void CQtSpeechEngine::Say(int nId, const QString& strText, SpokenLanguage nLanguage)
{
#ifdef QUADO_HAVE_TEXTTOSPEECH
    if (CSpeechWorker* pWorker = m_pWorker)
        QMetaObject::invokeMethod(pWorker, [pWorker, nId, strText, nLanguage] { pWorker->Say(nId, strText, nLanguage); });
#else
    Q_UNUSED(nId);
    Q_UNUSED(strText);
    Q_UNUSED(nLanguage);
#endif
}

void CQtSpeechEngine::Stop()
{
#ifdef QUADO_HAVE_TEXTTOSPEECH
    if (CSpeechWorker* pWorker = m_pWorker)
        QMetaObject::invokeMethod(pWorker, [pWorker] { pWorker->Stop(); });
#endif
}
