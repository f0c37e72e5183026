// The paced sender: the order of its steps, pauses as lower bounds, and a
// cancel that leaves nothing behind.
#include "session/paced_sender.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// What reached the port, with when (ms since the sender was made).
struct Sink {
    QElapsedTimer clock;
    QList<QByteArray> sent;
    QList<qint64> atMs;

    Sink() { clock.start(); }
    CPacedSender::SendFn Port()
    {
        return [this](const QByteArray& bytes, const std::function<void()>&) {
            sent.append(bytes);
            atMs.append(clock.elapsed());
        };
    }
};

} // namespace

class TestPacedSender : public QObject {
    Q_OBJECT

private slots:
    // A step's own sends come before the steps queued after it.
    void stepsRunInOrderWithTheirPauses()
    {
        Sink sink;
        CPacedSender sender(sink.Port());
        sender.Send("a", 20);
        sender.Then([&] {
            sender.Send("x", 20);
            sender.Pause(30);
            sender.Send("y");
        });
        sender.Send("b");
        QCOMPARE(sink.sent, QList<QByteArray>{"a"}); // the first goes at once, the rest waits
        QVERIFY(!sender.IsIdle());
        QVERIFY(sender.HasQueued());
        QTRY_VERIFY(!sender.HasQueued());
        QCOMPARE(sink.sent, (QList<QByteArray>{"a", "x", "y", "b"}));
        QTRY_VERIFY(sender.IsIdle());
        QVERIFY(sink.atMs[1] - sink.atMs[0] >= 20);
        QVERIFY(sink.atMs[2] - sink.atMs[1] >= 50); // its own 20 ms, then the 30 ms pause
    }

    void cancelDropsWhatIsQueued()
    {
        Sink sink;
        CPacedSender sender(sink.Port());
        sender.Send("a", 50);
        sender.Send("b");
        sender.Then([&] { sink.sent.append("step"); });
        sender.Cancel();
        QVERIFY(sender.IsIdle());
        // Sent after the cancel, "c" goes at once: nothing of before is left ahead of it.
        sender.Send("c");
        QCOMPARE(sink.sent, (QList<QByteArray>{"a", "c"}));

        // A step may cancel what follows it (the window closing its port).
        sender.Send("d", 10);
        sender.Then([&] { sender.Cancel(); });
        sender.Send("e");
        QTRY_VERIFY(sender.IsIdle());
        sender.Send("f");
        QCOMPARE(sink.sent, (QList<QByteArray>{"a", "c", "d", "f"}));
    }
};

QTEST_GUILESS_MAIN(TestPacedSender)
#include "tst_paced_sender.moc"
