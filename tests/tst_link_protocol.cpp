#include "core/protocol/link_protocol.h"
#include "core/protocol/local_echo.h"
#include "core/protocol/register_map.h"
#include "core/protocol/read_cycle.h"

#include <QTest>
#include <cstring>

using namespace Qt::StringLiterals;

class TestLinkProtocol : public QObject {
    Q_OBJECT

private slots:
    void formatsCommands()
    {
        QCOMPARE(FormatReadCommand(0x1F), QByteArray("r 001F \r\n"));
        QCOMPARE(FormatReadCommand(0xF9), QByteArray("r 00F9 \r\n"));
        QCOMPARE(FormatWriteCommand(1, 0xF9), QByteArray("w 01 00F9\r\n"));
        QCOMPARE(FormatWriteCommand(0x1FF, 0x12), QByteArray("w FF 0012\r\n"));
        QCOMPARE(FormatWriteCommand(0, 0xFFFF), QByteArray("w 00 FFFF\r\n"));
    }

    void convertsHexText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("replies") << QByteArray("1F\r\n00\r\n") << QByteArray("\x1F\x00", 2);
        QTest::newRow("lower case") << QByteArray("1f\r\nab\r\n") << QByteArray("\x1F\xAB");
        QTest::newRow("separator inside a pair stops") << QByteArray("12\r\n1\r\n34") << QByteArray("\x12");
        QTest::newRow("odd digit at the end") << QByteArray("12 3") << QByteArray("\x12");
        QTest::newRow("other character stops") << QByteArray("12?\r\n34") << QByteArray("\x12");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void convertsHexText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, bytes);
        unsigned char out[64];
        const int count = HexToBytes(text, out, sizeof out);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), count), bytes);
    }

    void neverWritesPastTheBuffer()
    {
        unsigned char out[3] = {0, 0, 0};
        QCOMPARE(HexToBytes("01020304050607", out, 2), 2);
        QCOMPARE(out[2], 0);
    }

    void storesACompleteCycle()
    {
        // 23 answers: the list index in two hex digits, then CR LF.
        QByteArray text;
        for (int i = 0; i < kReadListSize; ++i)
            text += QByteArray::number(i, 16).rightJustified(2, '0') + "\r\n";
        QCOMPARE(text.size(), 92);
        RegisterImage image;
        image.fill(0xEE);
        unsigned char bytes[512];
        QVERIFY(StoreConfiguration(bytes, HexToBytes(text, bytes, sizeof bytes), &image));
        for (int i = 0; i < 22; ++i)
            QCOMPARE(image[i], i);
        QCOMPARE(image[28], 0x16);
        for (int i = 22; i < 28; ++i)
            QCOMPARE(image[i], 0xEE); // not touched by a cycle

        // One answer of "1", CR, LF, LF: fewer than 23 bytes, the image stays.
        text.replace(4, 4, "1\r\n\n");
        QVERIFY(!StoreConfiguration(bytes, HexToBytes(text, bytes, sizeof bytes), &image));
        QCOMPARE(image[1], 1);
    }

    void readCycleRequestsEachRegisterAfterEachAnswer()
    {
        CReadCycle cycle;
        QCOMPARE(cycle.Receive('1'), CReadCycle::Step::Collecting);
        for (const char ch : QByteArray("2\r\n"))
            cycle.Receive(ch);
        QCOMPARE(cycle.ReplyChars(), 0); // a group before any cycle belongs to nothing

        QCOMPARE(cycle.Start(), QByteArray("r 001F \r\n"));
        QByteArray requests;
        int parses = 0;
        for (int answer = 0; answer < kReadListSize; ++answer) {
            QCOMPARE(cycle.Receive('0'), CReadCycle::Step::Collecting);
            QCOMPARE(cycle.Receive('A'), CReadCycle::Step::Collecting);
            QCOMPARE(cycle.Receive('\r'), CReadCycle::Step::Collecting);
            const CReadCycle::Step step = cycle.Receive('\n');
            if (step == CReadCycle::Step::RequestNext)
                requests += cycle.NextRequest();
            else if (step == CReadCycle::Step::Complete)
                ++parses;
        }
        QCOMPARE(parses, 1);
        QCOMPARE(requests.size(), 22 * 9);
        QVERIFY(requests.startsWith("r 0000 \r\nr 0001 \r\n"));
        QVERIFY(requests.endsWith("r 001E \r\nr 00F9 \r\n"));
        QCOMPARE(cycle.TakeReply().size(), 92);
        QCOMPARE(cycle.ReplyChars(), 0);
        QCOMPARE(cycle.NextRequest(), QByteArray()); // all 23 are out

        // Ended (the device went away): later groups are dropped, nothing is requested.
        cycle.End();
        for (const char ch : QByteArray("0A\r"))
            cycle.Receive(ch);
        QCOMPARE(cycle.Receive('\n'), CReadCycle::Step::Dropped);
        QCOMPARE(cycle.ReadIndex(), -1);
    }

    void answersAreTwoHexDigitsAndALineEnd()
    {
        for (const char* good : {"7F\r\n", "0a\r\n"})
            QVERIFY2(IsRegisterAnswer(good), good);
        for (const char* bad : {"7?\r\n", "7F\r", "2\r\n\n", "7F\n\r", "r 00"})
            QVERIFY2(!IsRegisterAnswer(bad), bad);
        QCOMPARE(AnswerWaitMs(115200), 153);
        QCOMPARE(AnswerWaitMs(300), 1017);
    }

    // Bytes arrive in arbitrary slices; what the host sent comes back first
    // on an echoing line, and nothing of a clean line's answers is lost.
    void localEchoIsTakenOutOnlyWhereTheLineEchoes_data()
    {
        QTest::addColumn<QByteArrayList>("sent");     // hand-overs, in order
        QTest::addColumn<QByteArray>("heard");        // what arrives after all of them
        QTest::addColumn<QByteArray>("camera");       // what is the camera's
        QTest::addColumn<int>("state");
        using S = CLocalEcho::State;
        QTest::newRow("clean line") << QByteArrayList{"r 001F \r\n"} << QByteArray("7F\r\n") << QByteArray("7F\r\n")
                                    << int(S::Clean);
        QTest::newRow("echo, then the answer") << QByteArrayList{"r 001F \r\n"} << QByteArray("r 001F \r\n7F\r\n")
                                               << QByteArray("7F\r\n") << int(S::Echoes);
        // Image bytes that look like the camera's answers are still the host's.
        QTest::newRow("echoed image, then S and D")
            << QByteArrayList{"*****", "U", "ASDE001"} << QByteArray("*****UASDE001SD") << QByteArray("SD")
            << int(S::Echoes);
        QTest::newRow("answer that starts like the request")
            << QByteArrayList{"r 001F \r\n"} << QByteArray("r 0x") << QByteArray("r 0x") << int(S::Clean);
        QTest::newRow("a lost echo byte passes the rest")
            << QByteArrayList{"w 01 00F9\r\n", "r 001F \r\n"} << QByteArray("w 01 00F9\r\nr 01F \r\n7F\r\n")
            << QByteArray("1F \r\n7F\r\n") << int(S::Echoes);
        QTest::newRow("noise before anything was sent")
            << QByteArrayList{} << QByteArray("xy") << QByteArray("xy") << int(S::Unknown);
    }

    void localEchoIsTakenOutOnlyWhereTheLineEchoes()
    {
        QFETCH(QByteArrayList, sent);
        QFETCH(QByteArray, heard);
        QFETCH(QByteArray, camera);
        QFETCH(int, state);
        for (const int slice : {1, 3, 64}) {
            CLocalEcho echo;
            for (const QByteArray& bytes : sent)
                echo.Sent(bytes);
            QByteArray passed;
            for (qsizetype at = 0; at < heard.size(); at += slice)
                passed += echo.Received(heard.mid(at, slice));
            QCOMPARE(passed, camera);
            QCOMPARE(int(echo.LineState()), state);
        }
    }

    // A line that stays silent while much is sent is not taken to echo.
    void aLineThatReturnsNothingIsClean()
    {
        CLocalEcho echo;
        for (int i = 0; i < 1000; ++i)
            echo.Sent(QByteArray(100, 'e'));
        QCOMPARE(echo.Received("eA"), QByteArray("eA"));
        QCOMPARE(int(echo.LineState()), int(CLocalEcho::State::Clean));
    }
};

QTEST_GUILESS_MAIN(TestLinkProtocol)
#include "tst_link_protocol.moc"
