#pragma once

#include "Config.h"
#include "GUIManager.h"
#include "LogRecorder.h"
#include "MosquittoBroker.h"
#include "MqttPeer.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The real window on a real GUI manager, with a broker of its own and a peer
// subscribed to every service topic that plays the services.
class UiTestBed
{
public:
    // Once per test program: resources, names and the program's logger.
    static void initTestCase();

    // A fresh manager and window; beforeManager runs once the broker is up,
    // beforeLoad between the manager and its window.
    bool start(const std::function<void(GUIManager &)> &beforeLoad = {},
               const std::function<bool()> &beforeManager = {});
    // Takes everything down and returns the QML warnings seen meanwhile, the
    // window's own teardown included: the UI tests fail on any.
    QStringList stop();

    // The item with this name, or "outer/inner" for one inside another.
    QObject *find(const QString &name) const;
    QQuickItem *item(const QString &name) const { return qobject_cast<QQuickItem *>(find(name)); }
    QObject *context(const QString &name) const;
    // A context object or a named item, then properties in turn, such as
    // "manager.diagnostics.buzzer" or "eventList.count".
    QVariant value(const QString &path) const;
    bool tap(const QString &name, qreal at = 0.5) const;
    // One step: "kivo/<topic> <json>" publishes as the service would,
    // "<path>=<text>" sets a property, "<path>(<text>)" calls a method with
    // that argument or none, anything else taps the control of that name
    // ("<name>@0.9": at 0.9 of its width).
    bool act(const QString &step) const;
    // Rows of {steps..., target, expected}, in turn. The target is a topic
    // whose next message must come (equal as JSON unless expected is empty),
    // or a path whose value as text must come to be the expected one.
    void walk(const QList<QStringList> &rows) const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MosquittoBroker> broker;
    std::unique_ptr<MqttPeer> peer;
    std::unique_ptr<Config> config;
    std::unique_ptr<LogRecorder> log;
    std::unique_ptr<GUIManager> gui;
    QQuickWindow *window = nullptr;
};
