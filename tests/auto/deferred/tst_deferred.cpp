#include "deferred.h"

#include <QtTest>

class tst_Deferred : public QObject
{
    Q_OBJECT

private slots:
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
        d.done([&](int v) { log << QStringLiteral("done a%1").arg(v); })
            .fail([&](int v) { log << QStringLiteral("fail a%1").arg(v); })
            .done([&](int v) { log << QStringLiteral("done b%1").arg(v); })
            .fail([&](int v) { log << QStringLiteral("fail b%1").arg(v); });
        // Settled through a copy: copies share one state.
        reject ? copy.reject(1) : copy.resolve(1);
        QTest::ignoreMessage(QtWarningMsg, "Cannot resolve already processed deferred object.");
        d.resolve(2);
        QTest::ignoreMessage(QtWarningMsg, "Cannot reject already processed deferred object.");
        d.reject(3);
        QTest::ignoreMessage(QtWarningMsg, "Cannot notify already processed deferred object.");
        d.notify(4);
        QCOMPARE(d.state(), reject ? Deferred<int>::Rejected : Deferred<int>::Resolved);
        // Registered afterwards: the matching kind runs at once with the stored value, the other never.
        d.done([&](int v) { log << QStringLiteral("late done%1").arg(v); });
        d.fail([&](int v) { log << QStringLiteral("late fail%1").arg(v); });
        d.progress([&](int v) { log << QStringLiteral("late progress%1").arg(v); });
        const QString kind = reject ? QStringLiteral("fail") : QStringLiteral("done");
        QCOMPARE(log, QStringList({ kind + " a1", kind + " b1", "late " + kind + "1" }));
    }

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
