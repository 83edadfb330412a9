#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "SessionManager.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The PIN-guarded maintenance session.
class tst_Session : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<SessionManager> m_session;
    QStringList m_signals;

    void record()
    {
        m_signals.clear();
        connect(m_session.get(), &SessionManager::sessionActiveChanged, this,
                [this] { m_signals << QStringLiteral("sessionActiveChanged"); });
        connect(m_session.get(), &SessionManager::accessGranted, this,
                [this] { m_signals << QStringLiteral("accessGranted"); });
        connect(m_session.get(), &SessionManager::accessDenied, this,
                [this] { m_signals << QStringLiteral("accessDenied"); });
        connect(m_session.get(), &SessionManager::expired, this, [this] { m_signals << QStringLiteral("expired"); });
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(m_dir.filePath(QStringLiteral("gui.conf")));
        m_config = std::make_unique<Config>(m_dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
        m_session = std::make_unique<SessionManager>(*m_config);
        record();
    }

    void cleanup()
    {
        m_session.reset();
        m_config.reset();
    }

    void loginRestartAndLogout()
    {
        LogRecorder log;
        m_session->loginRequest(QStringLiteral("3917"));
        QCOMPARE(m_signals, QStringList({ "accessGranted", "sessionActiveChanged" }));
        QVERIFY(m_session->property("sessionActive").toBool());
        QVERIFY(m_session->user());
        QCOMPARE(m_session->user()->id, 0);
        QVERIFY(log.contains(QStringLiteral("[SessionManager] User logged-in : KIVO, Admin")));
        // Long timers are kept to whole seconds, so allow a little over.
        QVERIFY(m_session->remainingTime() > 500000 && m_session->remainingTime() <= 601000);

        // A second login restarts the period.
        QTest::qWait(2500);
        const int before = m_session->remainingTime();
        m_signals.clear();
        m_session->loginRequest(QStringLiteral("3917"));
        QCOMPARE(m_signals, QStringList({ "accessGranted", "sessionActiveChanged" }));
        QVERIFY(m_session->remainingTime() > before);

        m_signals.clear();
        m_session->logoutRequest();
        QCOMPARE(m_signals, QStringList({ "sessionActiveChanged" }));
        QVERIFY(!m_session->sessionActive());
        QVERIFY(!m_session->user());
        QCOMPARE(m_session->remainingTime(), -1);
        QVERIFY(log.contains(QStringLiteral("[SessionManager] User logged-out : KIVO, Admin")));

        // Without a session, logout and a timer reset do nothing.
        m_signals.clear();
        log.clear();
        m_session->logoutRequest();
        m_session->resetTimer();
        QVERIFY(m_signals.isEmpty());
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(m_session->remainingTime(), -1);
    }

    void wrongPin()
    {
        LogRecorder log;
        const QStringList wrong { QString(), QStringLiteral("3917 "), QStringLiteral("391"), QStringLiteral("39170") };
        for (const QString &pin : wrong)
            m_session->loginRequest(pin);
        QCOMPARE(m_signals, QStringList({ "accessDenied", "accessDenied", "accessDenied", "accessDenied" }));
        QVERIFY(!m_session->sessionActive());
        QCOMPARE(log.matching(QStringLiteral("[SessionManager] WARN: User entered wrong pin")).size(), wrong.size());

        // A wrong PIN leaves a running session alone.
        m_session->loginRequest(QStringLiteral("3917"));
        m_signals.clear();
        m_session->loginRequest(QStringLiteral("0000"));
        QCOMPARE(m_signals, QStringList({ "accessDenied" }));
        QVERIFY(m_session->sessionActive());
        QVERIFY(m_session->remainingTime() > 0);

        // An empty PIN is right only when configured so.
        m_session->logoutRequest();
        m_config->set(QStringLiteral("gui/settingsPin"), QString());
        m_session->loginRequest(QString());
        QVERIFY(m_session->sessionActive());
    }

    void pinChangeWhileLoggedIn()
    {
        m_session->loginRequest(QStringLiteral("3917"));
        m_signals.clear();

        m_config->set(QStringLiteral("gui/settingsPin"), QStringLiteral("2468"));
        QVERIFY(m_signals.isEmpty());
        QVERIFY(m_session->sessionActive());
        // The session refers to the rebuilt user record.
        QVERIFY(m_session->user());
        QCOMPARE(m_session->user()->pin, QStringLiteral("2468"));
        QCOMPARE(m_session->user()->name, QStringLiteral("KIVO"));

        m_session->loginRequest(QStringLiteral("3917"));
        QCOMPARE(m_signals, QStringList({ "accessDenied" }));
        m_session->loginRequest(QStringLiteral("2468"));
        QCOMPARE(m_signals, QStringList({ "accessDenied", "accessGranted", "sessionActiveChanged" }));

        // Any configuration change rebuilds the list; the session survives it.
        m_config->set(QStringLiteral("gui/displayOffMin"), 7);
        QVERIFY(m_session->sessionActive());
        QCOMPARE(m_session->user()->pin, QStringLiteral("2468"));
        m_session->logoutRequest();
        QVERIFY(!m_session->sessionActive());
    }

    void expiry()
    {
        LogRecorder log;
        m_session->setSessionLength(300);
        m_session->loginRequest(QStringLiteral("3917"));
        QVERIFY(m_session->sessionActive());
        m_signals.clear();

        QSignalSpy ended(m_session.get(), &SessionManager::sessionActiveChanged);
        QVERIFY(ended.wait(10000));
        QVERIFY(!m_session->sessionActive());
        QVERIFY(!m_session->user());
        QCOMPARE(m_signals, QStringList({ "sessionActiveChanged" }));
        const QStringList warnings = log.lines(QtWarningMsg);
        QVERIFY(warnings.contains(QStringLiteral("[SessionManager] Session expired")));
        QVERIFY(log.contains(QStringLiteral("[SessionManager] User logged-out : KIVO, Admin")));

        // Once over, the timer stays quiet.
        QTest::qWait(600);
        QCOMPARE(m_signals, QStringList({ "sessionActiveChanged" }));
    }

    void pinNeverLogged()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
        LogRecorder log;
        m_session->loginRequest(QStringLiteral("3918"));
        m_session->loginRequest(QStringLiteral("39170"));
        m_session->loginRequest(QStringLiteral("3917"));
        m_config->set(QStringLiteral("gui/settingsPin"), QStringLiteral("8642"));
        m_session->loginRequest(QStringLiteral("8642"));
        m_session->logoutRequest();

        QVERIFY(!log.lines(QtDebugMsg).isEmpty());
        for (const QString &line : log.lines()) {
            for (const char *pin : { "3918", "3917", "8642", "391" })
                QVERIFY2(!line.contains(QLatin1String(pin)), qPrintable(line));
        }
        QCOMPARE(log.matching(QStringLiteral("[SessionManager] Entered PIN    : ")),
                 QStringList({ "[SessionManager] Entered PIN    : ****", "[SessionManager] Entered PIN    : *****",
                               "[SessionManager] Entered PIN    : ****", "[SessionManager] Entered PIN    : ****" }));
        QCOMPARE(log.matching(QStringLiteral("[SessionManager] Login requested with PIN")).size(), 4);
    }
};

QTEST_GUILESS_MAIN(tst_Session)
#include "tst_session.moc"
