#include "UiTestBed.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Gives the QML tests the program's own context objects: a GUI manager with
// its window, on a broker and a configuration of their own.
class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        UiTestBed::initTestCase();
        if (!m_bed.start())
            qFatal("The GUI manager did not start");
        for (const char *name : {"manager", "board", "inspector", "network", "validatorManager", "eventLogManager"})
            engine->rootContext()->setContextProperty(name, m_bed.context(name));
    }

    void cleanupTestCase() { m_bed.stop(); }

private:
    UiTestBed m_bed;
};

QUICK_TEST_MAIN_WITH_SETUP(qmlpages, Setup)
#include "tst_qmlpages.moc"
