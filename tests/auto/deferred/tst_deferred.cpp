#include "deferred.h"

#include <QtTest>

class tst_Deferred : public QObject
{
    Q_OBJECT

private slots:
    // Settled once, through any copy; later settling is refused. Handlers
    // added afterwards of the matching kind run at once, the others never.
    void settlesOnce_data()
    {
        QTest::addColumn<bool>("reject");
        QTest::newRow("resolved") << false;
        QTest::newRow("rejected") << true;
    }

    void settlesOnce()
    {
        QFETCH(bool, reject);
        Deferred<int> d;
        Deferred<int> copy = d;
        QStringList log;
        const auto record = [&](const char *what) { return [&log, what](int v) { log << QStringLiteral("%1%2").arg(what).arg(v); }; };
        d.done(record("done a")).fail(record("fail a")).done(record("done b")).fail(record("fail b"));
        reject ? copy.reject(1) : copy.resolve(1);
        QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
        d.resolve(2);
        QTest::ignoreMessage(QtWarningMsg, "Cannot reject already processed deferred object.");
        d.reject(3);
        QCOMPARE(d.state(), reject ? Deferred<int>::Rejected : Deferred<int>::Resolved);
        d.done(record("late done")).fail(record("late fail")).progress(record("late progress"));
        const QString kind = reject ? QStringLiteral("fail") : QStringLiteral("done");
        QCOMPARE(log, QStringList({ kind + " a1", kind + " b1", "late " + kind + "1" }));
    }

    // A handler may add handlers and settle deferreds, its own too, while it runs.
    void callbacksMayReenter()
    {
        Deferred<int> d;
        Deferred<int> other;
        QStringList log;
        d.done([&](int v) {
            log << QStringLiteral("first%1").arg(v);
            d.done([&](int w) { log << QStringLiteral("nested%1").arg(w); });
            QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
            d.resolve(v + 1);
            other.resolve(v * 10);
        });
        d.done([&](int v) { log << QStringLiteral("second%1").arg(v); });
        other.done([&](int v) { log << QStringLiteral("other%1").arg(v); });
        d.resolve(1);
        QCOMPARE(log, QStringList({ "first1", "nested1", "other10", "second1" }));
    }
};

QTEST_GUILESS_MAIN(tst_Deferred)
#include "tst_deferred.moc"
