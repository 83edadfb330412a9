#include "Config.h"
#include "GUIManager.h"
#include "Resources.h"
#include "logger.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

// Gives the QML test cases the program's own context objects: a GUI manager
// with its clients, on a configuration of its own. No broker is needed for
// the page logic; the manager keeps trying to connect in the background.
class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        Resources::init();
        QCoreApplication::setApplicationName(QStringLiteral("LTXGTerminalUI"));
        manager::Logger::instance();

        QFile serial(m_dir.filePath(QStringLiteral("serialnumber")));
        if (serial.open(QIODevice::WriteOnly))
            serial.write("C12345678\n");
        serial.close();
        m_config = std::make_unique<Config>(m_dir.filePath(QStringLiteral("gui.conf")), GUIManager::Defaults);
        m_config->set(QStringLiteral("log/syslog"), false);
        m_config->set(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
        m_config->set(QStringLiteral("mqtt/port"), 1);
        m_config->set(QStringLiteral("gui/deviceId"), serial.fileName());
        m_config->set(QStringLiteral("gui/locale"), QStringLiteral("en_US"));
        m_gui = std::make_unique<GUIManager>(*m_config, m_dir.filePath(QStringLiteral("events.ini")));
        // The manager's own engine holds the context objects once its window
        // is up.
        m_gui->load();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QQmlContext *source = qmlEngine(m_gui->parent())->rootContext();
        for (const char *name : {"manager", "board", "inspector", "network", "validatorManager", "eventLogManager",
                                 "transaction"}) {
            const QString key = QString::fromLatin1(name);
            engine->rootContext()->setContextProperty(key, source->contextProperty(key));
        }
    }

    void cleanupTestCase() { m_gui.reset(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<GUIManager> m_gui;
};

QUICK_TEST_MAIN_WITH_SETUP(qmlpages, Setup)

#include "tst_qmlpages.moc"
