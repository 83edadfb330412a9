#pragma once

#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"

#include <QQuickWindow>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The real window on a real GUI manager, with a broker of its own and a peer
// subscribed to every service topic that plays the services. Every QML
// warning is recorded: the UI tests fail on any.
class UiTestBed
{
public:
    // Once per test program: resources, names and the program's logger.
    static void initTestCase();

    // A fresh manager and window; beforeManager runs once the broker is up,
    // beforeLoad between the manager and its window.
    bool start(const std::function<void(GUIManager &)> &beforeLoad = {},
               const std::function<bool()> &beforeManager = {});
    // Takes everything down and returns the QML problems seen meanwhile,
    // the window's own teardown included.
    QStringList stop();

    QStringList qmlProblems() const;
    QObject *find(const QString &name) const;
    QQuickItem *item(const QString &name) const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MosquittoBroker> broker;
    std::unique_ptr<MqttPeer> peer;
    std::unique_ptr<Config> config;
    std::unique_ptr<LogRecorder> log;
    std::unique_ptr<GUIManager> gui;
    QQuickWindow *window = nullptr;
};
