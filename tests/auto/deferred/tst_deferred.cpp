#include "deferred.h"
#include "deferredproxyobject.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

namespace {

struct IssueResult
{
    QString error;
    int code = 0;
};

using JsonDeferred = Deferred<QJsonValue>;

// A thread with its own event loop and a way to run code inside it.
class WorkerThread
{
public:
    WorkerThread() { start(); }
    ~WorkerThread() { stop(); }

    void start()
    {
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
        m_thread.start();
    }

    void stop()
    {
        m_thread.quit();
        m_thread.wait();
    }

    // Blocks until `function` has run in the worker thread.
    void run(const std::function<void()> &function)
    {
        QMetaObject::invokeMethod(m_context, function, Qt::BlockingQueuedConnection);
    }

    QThread *thread() { return &m_thread; }

private:
    QThread m_thread;
    QObject *m_context = nullptr;
};

} // namespace

class TestDeferred : public QObject
{
    Q_OBJECT

private slots:
    void settlesOnce();
    void callbackOrderAndLateRegistration();
    void valueTypes();
    void progress();
    void callbacksMayReenter();
    void deliveryOnRegisteringThread();
    void finishedThreadDropsCallbacks();
    void concurrentRegistration();
    void thenAliasPassesResultOn();
    void thenAliasRejectsWithoutValues();
};

void TestDeferred::settlesOnce()
{
    JsonDeferred d;
    QList<QJsonValue> resolved;
    int rejected = 0;
    d.done([&](const QJsonValue &value) { resolved << value; }).fail([&](const QJsonValue &) { ++rejected; });
    QCOMPARE(d.state(), JsonDeferred::Pending);

    d.resolve(QJsonValue(1));
    QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
    d.resolve(QJsonValue(2));
    QTest::ignoreMessage(QtWarningMsg, "Cannot reject already processed deferred object.");
    d.reject(QJsonValue("late"));
    QTest::ignoreMessage(QtWarningMsg, "Cannot notify already processed deferred object.");
    d.notify(QJsonValue(3));
    // A copy shares the settled state.
    JsonDeferred copy = d;
    QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
    copy.resolve(QJsonValue(4));

    QCOMPARE(resolved, QList<QJsonValue>{QJsonValue(1)});
    QCOMPARE(rejected, 0);
    QCOMPARE(copy.state(), JsonDeferred::Resolved);

    // Rejected through a copy, then resolved: refused, stays rejected.
    JsonDeferred r;
    JsonDeferred rCopy = r;
    int done = 0;
    QList<QJsonValue> errors;
    r.done([&](const QJsonValue &) { ++done; }).fail([&](const QJsonValue &error) { errors << error; });
    rCopy.reject(QJsonValue("Timeout"));
    QCOMPARE(r.state(), JsonDeferred::Rejected);
    QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
    r.resolve(QJsonObject{{"completed", true}});
    QCOMPARE(r.state(), JsonDeferred::Rejected);
    QCOMPARE(done, 0);
    QCOMPARE(errors, QList<QJsonValue>{QJsonValue("Timeout")});
}

void TestDeferred::callbackOrderAndLateRegistration()
{
    Deferred<int> d;
    QStringList log;
    d.done([&](int v) { log << QStringLiteral("a%1").arg(v); })
        .fail([&](int v) { log << QStringLiteral("fail%1").arg(v); })
        .done([&](int v) { log << QStringLiteral("b%1").arg(v); })
        .done([&](int v) { log << QStringLiteral("c%1").arg(v); });
    QVERIFY(log.isEmpty());
    d.resolve(7);
    QCOMPARE(log, QStringList({"a7", "b7", "c7"}));

    // Registered after settlement: runs at once, inside done(), with the stored value.
    int late = 0;
    d.done([&](int v) { late = v; });
    QCOMPARE(late, 7);
    bool failRan = false;
    d.fail([&](int) { failRan = true; });
    QVERIFY(!failRan);

    Deferred<int> r;
    r.reject(-3);
    bool doneRan = false;
    int lateError = 0;
    r.done([&](int) { doneRan = true; }).fail([&](int e) { lateError = e; });
    QVERIFY(!doneRan);
    QCOMPARE(lateError, -3);
}

void TestDeferred::valueTypes()
{
    Deferred<> none;
    int noneDone = 0;
    none.done([&] { ++noneDone; });
    none.resolve();
    none.done([&] { ++noneDone; });
    QCOMPARE(noneDone, 2);
    Deferred<> noneRejected;
    int noneFailed = 0;
    noneRejected.fail([&] { ++noneFailed; });
    noneRejected.reject();
    QCOMPARE(noneFailed, 1);

    Deferred<IssueResult> issued;
    IssueResult seen;
    issued.fail([&](const IssueResult &result) { seen = result; });
    issued.reject(IssueResult{QStringLiteral("Eject failed : Timeout"), 5});
    QCOMPARE(seen.error, QStringLiteral("Eject failed : Timeout"));
    QCOMPARE(seen.code, 5);

    Deferred<int, QString> pair;
    QString joined;
    pair.done([&](int n, const QString &text) { joined = QString::number(n) + text; });
    pair.resolve(2, QStringLiteral("x"));
    QCOMPARE(joined, QStringLiteral("2x"));
}

void TestDeferred::progress()
{
    Deferred<int> d;
    QList<int> steps;
    QList<int> lateSteps;
    d.progress([&](int step) { steps << step; });
    d.notify(10);
    d.progress([&](int step) { lateSteps << step; });
    d.notify(60);
    QCOMPARE(d.state(), Deferred<int>::Pending);
    d.resolve(100);
    QTest::ignoreMessage(QtWarningMsg, "Cannot notify already processed deferred object.");
    d.notify(70);
    d.progress([&](int step) { lateSteps << step; });
    QCOMPARE(steps, QList<int>({10, 60}));
    QCOMPARE(lateSteps, QList<int>({60}));
}

void TestDeferred::callbacksMayReenter()
{
    Deferred<int> d;
    Deferred<int> other;
    QStringList log;
    d.done([&](int v) {
        log << QStringLiteral("first%1").arg(v);
        d.done([&](int w) { log << QStringLiteral("nested%1").arg(w); });
        QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
        d.resolve(v + 1);
        QCOMPARE(d.state(), Deferred<int>::Resolved);
        other.resolve(v * 10);
    });
    d.done([&](int v) { log << QStringLiteral("second%1").arg(v); });
    other.done([&](int v) { log << QStringLiteral("other%1").arg(v); });
    d.resolve(1);
    QCOMPARE(log, QStringList({"first1", "nested1", "other10", "second1"}));
}

void TestDeferred::deliveryOnRegisteringThread()
{
    WorkerThread worker;
    QThread *const mainThread = QThread::currentThread();
    Deferred<QString> d;
    std::atomic<QThread *> autoThread{nullptr};
    std::atomic<QThread *> queuedThread{nullptr};
    std::atomic<QThread *> directThread{nullptr};
    QString workerValue;
    worker.run([&] {
        d.done([&](const QString &value) {
            workerValue = value;
            autoThread = QThread::currentThread();
        });
        d.done([&](const QString &) { queuedThread = QThread::currentThread(); }, Qt::QueuedConnection);
        d.done([&](const QString &) { directThread = QThread::currentThread(); }, Qt::DirectConnection);
    });
    QVERIFY(DeferredProxyObject::proxyFor(worker.thread()));

    bool mainAuto = false;
    bool mainQueued = false;
    d.done([&](const QString &) { mainAuto = true; });
    d.done([&](const QString &) { mainQueued = true; }, Qt::QueuedConnection);
    d.resolve(QStringLiteral("card"));
    // Direct and same-thread automatic calls happen inside resolve(), queued ones later.
    QCOMPARE(directThread.load(), mainThread);
    QVERIFY(mainAuto);
    QVERIFY(!mainQueued);
    QTRY_VERIFY_WITH_TIMEOUT(mainQueued, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(autoThread.load(), worker.thread(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(queuedThread.load(), worker.thread(), 10000);
    worker.stop(); // orders the worker's writes before the read below
    QCOMPARE(workerValue, QStringLiteral("card"));

    // Settled in another thread: a callback of the main thread waits for its event loop.
    worker.start();
    Deferred<int> e;
    std::atomic<QThread *> seen{nullptr};
    e.done([&](int) { seen = QThread::currentThread(); });
    worker.run([&] { e.resolve(5); });
    QCOMPARE(seen.load(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(seen.load(), mainThread, 10000);
}

void TestDeferred::finishedThreadDropsCallbacks()
{
    WorkerThread worker;
    Deferred<int> d;
    std::atomic<int> autoCalls{0};
    std::atomic<int> directCalls{0};
    worker.run([&] {
        d.done([&](int) { ++autoCalls; });
        d.done([&](int) { ++directCalls; }, Qt::DirectConnection);
    });
    QPointer<DeferredProxyObject> proxy = DeferredProxyObject::proxyFor(worker.thread());
    QVERIFY(proxy);
    worker.stop();
    QVERIFY(proxy.isNull());
    QVERIFY(!DeferredProxyObject::proxyFor(worker.thread()));

    // The automatic callback could only run in the ended thread and is dropped.
    d.resolve(1);
    QCoreApplication::processEvents();
    QCOMPARE(autoCalls.load(), 0);
    QCOMPARE(directCalls.load(), 1);

    // A restarted thread gets a new proxy and never runs callbacks of its earlier run.
    Deferred<int> d2;
    std::atomic<int> firstRun{0};
    std::atomic<int> secondRun{0};
    worker.start();
    worker.run([&] { d2.done([&](int) { ++firstRun; }); });
    worker.stop();
    worker.start();
    worker.run([&] { d2.done([&](int) { ++secondRun; }); });
    d2.resolve(2);
    QTRY_COMPARE_WITH_TIMEOUT(secondRun.load(), 1, 10000);
    worker.stop();
    QCOMPARE(firstRun.load(), 0);
}

void TestDeferred::concurrentRegistration()
{
    // Threads register while the main thread resolves: each callback runs once,
    // either inside resolve() or at once inside done().
    constexpr int threadCount = 4;
    constexpr int perThread = 500;
    Deferred<int> d;
    std::atomic<bool> go{false};
    std::atomic<int> calls{0};
    std::atomic<int> wrongValues{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back(QThread::create([&] {
            while (!go)
                QThread::yieldCurrentThread();
            for (int n = 0; n < perThread; ++n) {
                d.done([&](int v) {
                    ++calls;
                    if (v != 42)
                        ++wrongValues;
                }, Qt::DirectConnection);
            }
        }));
        threads.back()->start();
    }
    go = true;
    QThread::msleep(1);
    d.resolve(42);
    for (const auto &thread : threads)
        QVERIFY(thread->wait(30000));
    QCOMPARE(calls.load(), threadCount * perThread);
    QCOMPARE(wrongValues.load(), 0);
}

void TestDeferred::thenAliasPassesResultOn()
{
    JsonDeferred first;
    JsonDeferred inner;
    QJsonValue stepInput;
    JsonDeferred chained = first.thenAlias([&](const QJsonValue &value) {
        stepInput = value;
        return inner;
    });
    QList<QJsonValue> steps;
    QJsonValue result;
    chained.done([&](const QJsonValue &value) { result = value; })
        .progress([&](const QJsonValue &step) { steps << step; });

    first.resolve(QJsonValue("04A1B2"));
    QCOMPARE(stepInput, QJsonValue("04A1B2"));
    QCOMPARE(chained.state(), JsonDeferred::Pending);
    inner.notify(QJsonValue(50));
    QCOMPARE(steps, QList<QJsonValue>{QJsonValue(50)});
    inner.resolve(QJsonObject{{"completed", true}});
    QCOMPARE(result, QJsonValue(QJsonObject{{"completed", true}}));

    // A rejection of the inner deferred passes on with its value.
    Deferred<IssueResult> start;
    Deferred<IssueResult> write;
    Deferred<IssueResult> issued = start.thenAlias([&](const IssueResult &) { return write; });
    QString error;
    issued.fail([&](const IssueResult &r) { error = r.error; });
    start.resolve(IssueResult());
    write.reject(IssueResult{QStringLiteral("Write failed : Timeout"), 0});
    QCOMPARE(error, QStringLiteral("Write failed : Timeout"));

    // Registered on an already resolved deferred, the step runs at once.
    Deferred<> ready;
    ready.resolve();
    bool finished = false;
    ready.thenAlias([] {
        Deferred<> next;
        next.resolve();
        return next;
    }).done([&] { finished = true; });
    QVERIFY(finished);
}

void TestDeferred::thenAliasRejectsWithoutValues()
{
    JsonDeferred first;
    bool stepRan = false;
    JsonDeferred chained = first.thenAlias([&](const QJsonValue &) {
        stepRan = true;
        return JsonDeferred();
    });
    int valueFails = 0;
    int plainFails = 0;
    int dones = 0;
    chained.fail([&](const QJsonValue &) { ++valueFails; })
        .failWithoutValues([&] { ++plainFails; })
        .done([&](const QJsonValue &) { ++dones; });
    // A chain hanging off the rejected one is rejected too, instead of hanging.
    bool secondStepRan = false;
    int secondPlainFails = 0;
    JsonDeferred chained2 = chained.thenAlias([&](const QJsonValue &) {
        secondStepRan = true;
        return JsonDeferred();
    });
    chained2.failWithoutValues([&] { ++secondPlainFails; });

    first.reject(QJsonValue("Not connected"));
    QVERIFY(!stepRan);
    QVERIFY(!secondStepRan);
    QCOMPARE(chained.state(), JsonDeferred::Rejected);
    QCOMPARE(chained2.state(), JsonDeferred::Rejected);
    QCOMPARE(valueFails, 0);
    QCOMPARE(plainFails, 1);
    QCOMPARE(secondPlainFails, 1);
    QCOMPARE(dones, 0);

    // Late registrations follow the same rule.
    chained.fail([&](const QJsonValue &) { ++valueFails; });
    chained.failWithoutValues([&] { ++plainFails; });
    QCOMPARE(valueFails, 0);
    QCOMPARE(plainFails, 2);

    QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
    chained.resolve(QJsonValue(1));
    QTest::ignoreMessage(QtWarningMsg, "Cannot reject already processed deferred object.");
    chained.reject(QJsonValue("again"));
    QCOMPARE(chained.state(), JsonDeferred::Rejected);
    QCOMPARE(dones, 0);
    QCOMPARE(valueFails, 0);

    // A step returning such a chain passes its rejection on, too.
    JsonDeferred outer;
    JsonDeferred failing;
    JsonDeferred nested = outer.thenAlias([&](const QJsonValue &) {
        return failing.thenAlias([](const QJsonValue &value) {
            JsonDeferred next;
            next.resolve(value);
            return next;
        });
    });
    int nestedPlainFails = 0;
    nested.failWithoutValues([&] { ++nestedPlainFails; });
    outer.resolve(QJsonValue(1));
    failing.reject(QJsonValue("Card not present"));
    QCOMPARE(nested.state(), JsonDeferred::Rejected);
    QCOMPARE(nestedPlainFails, 1);

    // Parameterless callbacks also run on an ordinary rejection, after the value ones registered before them.
    JsonDeferred plain;
    QStringList log;
    plain.fail([&](const QJsonValue &e) { log << e.toString(); }).failWithoutValues([&] { log << "plain"; });
    plain.reject(QJsonValue("Timeout"));
    QCOMPARE(log, QStringList({"Timeout", "plain"}));

    // Without types, there are no values to leave out: fail callbacks run.
    Deferred<> none;
    int noneFails = 0;
    none.thenAlias([] { return Deferred<>(); }).fail([&] { ++noneFails; });
    none.reject();
    QCOMPARE(noneFails, 1);
}

QTEST_GUILESS_MAIN(TestDeferred)

#include "tst_deferred.moc"
