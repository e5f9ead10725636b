#include "device/exchange.h"

#include <QTest>

#include <functional>
#include <memory>

using namespace t7;

namespace {

// Records what the exchange asks for; the timers are flags the test fires by hand.
class FakeHost : public ExchangeHost
{
public:
    QStringList log;
    QString port;
    bool open = false;
    bool timer1 = false;
    bool timer2 = false;
    QString status, caption, type, count;
    int progress = -1;
    int result = 0;
    QStringList errors;
    bool portOpenAtError = false;
    std::function<void()> duringError;

    void setPortName(const QString& name) override { port = name; }
    void openPort() override
    {
        open = true;
        log << QStringLiteral("open ") + port;
    }
    void closePort() override
    {
        if (open)
            log << QStringLiteral("close");
        open = false;
    }
    void writeByte(char letter) override { log << QStringLiteral("write ") + QLatin1Char(letter); }
    void startTimer1(int ms) override
    {
        timer1 = true;
        log << QStringLiteral("t1 %1").arg(ms);
    }
    void stopTimer1() override { timer1 = false; }
    void startTimer2(int ms) override
    {
        QVERIFY(!timer2); // the exchange never restarts a running delay
        timer2 = true;
        log << QStringLiteral("t2 %1").arg(ms);
    }
    void stopTimer2() override { timer2 = false; }
    void setStatus(const QString& text) override { status = text; }
    void setCaption(const QString& text) override { caption = text; }
    void setDeviceType(const QString& text) override { type = text; }
    void setVersion(const QString&) override {}
    void setRecordCount(const QString& text) override { count = text; }
    void setProgress(int percent) override { progress = percent; }
    void showError(const QString& text, const QString& cap) override
    {
        portOpenAtError = open || timer1 || timer2;
        errors << cap + QStringLiteral(": ") + text;
        if (duringError)
            duringError();
    }
    void finish(int r) override
    {
        result = r;
        log << QStringLiteral("finish %1").arg(r);
    }
};

const QByteArray kIdentity = "2120100000";

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReceiveBuffer> buffer;
    std::unique_ptr<DeviceImage> image;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<Exchange> exchange;

    QByteArray archive(QByteArrayView bytes) { return "S" + EncodeBytes(bytes) + "P"; }

    // Show, identify and request: the exchange then waits for the archive reply.
    void identify()
    {
        exchange->show();
        exchange->receive(kIdentity);
        exchange->timer2Tick();
        QCOMPARE(exchange->lastRequest(), 'N');
    }

private slots:
    void init()
    {
        buffer = std::make_unique<ReceiveBuffer>();
        image = std::make_unique<DeviceImage>();
        host = std::make_unique<FakeHost>();
        exchange = std::make_unique<Exchange>(*host, *buffer, *image);
    }

    void normalExchange()
    {
        exchange->show();
        QCOMPARE(host->log, QStringList({"open \\\\.\\COM1", "write V", "t1 3000"}));
        QCOMPARE(host->status, QStringLiteral("Ожидание готовности прибора ..."));
        QCOMPARE(host->caption, QStringLiteral("Прием данных"));
        exchange->receive(kIdentity);
        QVERIFY(!host->timer1);
        QVERIFY(host->timer2);
        QCOMPARE(host->type, QStringLiteral("КВ-73-ЛР2(Тин)"));
        QCOMPARE(host->status, QStringLiteral("Идет прием информации ..."));
        host->log.clear();
        exchange->timer2Tick();
        QCOMPARE(host->log, QStringList({"write N"}));
        QCOMPARE(exchange->receivedCount(), 0);

        const QByteArray reply = archive(QByteArray("\x02\x00\x00\x00", 4) + QByteArray(44, 7));
        exchange->receive(reply.left(9));
        QCOMPARE(host->count, QStringLiteral("2"));
        QCOMPARE(host->progress, 8 * 100 / 96);
        exchange->receive(reply.mid(9));
        QCOMPARE(host->log.mid(1), QStringList({"close", "finish 1"}));
        QCOMPARE(host->progress, 100);
        QCOMPARE(exchange->archiveLength(), 48);
        QCOMPARE(image->bytes[0], 2);
        QCOMPARE(image->bytes[47], 7);
        QVERIFY(host->errors.isEmpty());
    }

    void identityJudgedAtTenCharacters()
    {
        exchange->show();
        exchange->receive(kIdentity.left(9));
        QVERIFY(host->timer1);
        QVERIFY(!host->timer2);
        exchange->receive(kIdentity.mid(9));
        QVERIFY(host->timer2);
    }

    void identityOneByteAtATime()
    {
        exchange->show();
        for (char c : kIdentity)
            exchange->receive(QByteArray(1, c));
        QVERIFY(host->timer2);
        exchange->timer2Tick();
        const QByteArray reply = archive(QByteArray("\x01\x00\x00\x00", 4) + QByteArray(22, 1));
        for (char c : reply)
            exchange->receive(QByteArray(1, c));
        QCOMPARE(host->result, 1);
        QCOMPARE(exchange->archiveLength(), 26);
    }

    void wrongInstrument_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("type 34") << QByteArray("2220100000");
        QTest::newRow("second code 18") << QByteArray("2121100000");
    }
    void wrongInstrument()
    {
        QFETCH(QByteArray, reply);
        exchange->show();
        exchange->receive(reply);
        QCOMPARE(host->errors, QStringList({"Ошибка: Вы подключили не тот прибор !"}));
        QVERIFY(!host->portOpenAtError);
        QCOMPARE(host->result, 2);
        QVERIFY(!exchange->endSeen());
    }

    void restartMidBatch()
    {
        exchange->show();
        exchange->receive("21Z2010P00000");
        QCOMPARE(host->log.last(), QStringLiteral("write V"));
        QCOMPARE(exchange->receivedCount(), 0);
        QVERIFY(!exchange->endSeen());
        QVERIFY(!host->timer1); // no no-answer timer after a restart
        exchange->timer1Tick();
        QCOMPARE(host->port, QStringLiteral("\\\\.\\COM1"));
        exchange->receive(kIdentity);
        QVERIFY(host->timer2);
    }

    void startMarkerStopsNoAnswerTimer()
    {
        exchange->show();
        exchange->receive("S");
        QVERIFY(!host->timer1);
        exchange->timer1Tick(); // a late tick changes nothing
        QCOMPARE(host->port, QStringLiteral("\\\\.\\COM1"));
        QCOMPARE(host->result, 0);
    }

    void cancelDuringDelaySendsNoN()
    {
        exchange->show();
        exchange->receive(kIdentity);
        exchange->cancel();
        exchange->timer2Tick();
        QVERIFY(!host->log.contains(QStringLiteral("write N")));
        QCOMPARE(host->result, 2);
        QVERIFY(!host->open);
    }

    void restartAfterArchiveRequest()
    {
        identify();
        exchange->receive("S0000Z");
        QCOMPARE(host->log.last(), QStringLiteral("write V"));
        exchange->receive(kIdentity);
        QVERIFY(host->timer2);
        exchange->timer2Tick();
        QCOMPARE(host->log.last(), QStringLiteral("write N"));
        exchange->receive(archive(QByteArray(4, 0)));
        QCOMPARE(host->result, 1);
    }

    void noAnswerTriesSecondPortThenGivesUp()
    {
        exchange->show();
        exchange->timer1Tick();
        QCOMPARE(host->log, QStringList({"open \\\\.\\COM1", "write V", "t1 3000", "close",
                                         "open \\\\.\\COM2", "write V", "t1 3000"}));
        exchange->receive("21"); // a partial answer does not stop the timer
        exchange->timer1Tick();
        QCOMPARE(host->port, QStringLiteral("\\\\.\\COM1"));
        QCOMPARE(host->errors,
                 QStringList({"Ошибка: Прибор не обнаружен! Проверте правильность подключения "
                              "согласно инструкции!"}));
        QVERIFY(!host->portOpenAtError);
        QCOMPARE(host->result, 2);
        QCOMPARE(exchange->receivedCount(), 0);
    }

    void charactersAfterEndNotDecoded()
    {
        identify();
        image->bytes[2] = 0x55;
        exchange->receive("S1000P1111");
        QCOMPARE(exchange->archiveLength(), 2);
        QCOMPARE(image->bytes[0], 1);
        QCOMPARE(image->bytes[2], 0x55);
    }

    void endMarkerDuringIdentityIsCleared()
    {
        exchange->show();
        exchange->receive("2120P00000");
        QCOMPARE(host->result, 0);
        QVERIFY(!exchange->endSeen());
    }

    void twoExchangesInOneRun()
    {
        identify();
        exchange->receive(archive(QByteArray(30, 3)));
        QCOMPARE(host->result, 1);
        exchange->closed();
        host->log.clear();
        identify();
        QCOMPARE(host->log.first(), QStringLiteral("open \\\\.\\COM1"));
        // The first reply's characters are still in the buffer beyond the new count.
        QCOMPARE(buffer->bytes[21], '3');
        exchange->receive(archive(QByteArray("\x09\x00\x00\x00", 4)));
        QCOMPARE(exchange->archiveLength(), 4);
        QCOMPARE(image->bytes[0], 9);
    }

    void overflowEndsTheExchange()
    {
        identify();
        exchange->receive(QByteArray(kReceiveBufferSize - 1, '0'));
        QCOMPARE(exchange->receivedCount(), kReceiveBufferSize - 1);
        QCOMPARE(host->result, 0);
        exchange->receive("0");
        QCOMPARE(host->result, 2);
        QCOMPARE(host->errors.size(), 1);
        QVERIFY(!host->portOpenAtError);
    }

    void damagedArchiveEndsTheExchange()
    {
        identify();
        exchange->receive("S10/0P");
        QCOMPARE(host->result, 2);
        QCOMPARE(host->errors.size(), 1);
        QVERIFY(host->errors.first().contains(QStringLiteral("Прием прерван")));
    }

    void damagedIdentityEndsTheExchange()
    {
        exchange->show();
        exchange->receive("/120100000");
        QCOMPARE(host->result, 2);
        QCOMPARE(host->errors.size(), 1);
    }

    void nothingActsWhileTheMessageIsOpen()
    {
        exchange->show();
        host->duringError = [this] {
            exchange->receive(kIdentity);
            exchange->timer1Tick();
            exchange->cancel();
        };
        exchange->receive("2220100000");
        QCOMPARE(host->errors.size(), 1);
        QCOMPARE(host->log.count(QStringLiteral("finish 2")), 1);
        exchange->timer2Tick();
        QVERIFY(!host->log.contains(QStringLiteral("write N")));
    }

    // After "Отмена" in the middle of the archive the instrument goes on sending its rest:
    // the next exchange lets it pass, on the port it comes from, until the line is quiet or
    // the rest has come, and only then asks for the identity.
    void cancelledTransferIsLetPass()
    {
        identify();
        const QByteArray reply = archive(QByteArray("\x02\x00\x00\x00", 4) + QByteArray(44, 7));
        exchange->receive(reply.left(20));
        exchange->cancel();
        QCOMPARE(host->result, 2);
        QCOMPARE(exchange->leftToCome(), qint64(reply.size() - 20));

        host->log.clear();
        exchange->show();
        QVERIFY(exchange->settling());
        QCOMPARE(host->log, QStringList({"open \\\\.\\COM1", "t1 300"}));
        QCOMPARE(host->status, QStringLiteral("Ожидание окончания передачи прибора ..."));
        exchange->receive(reply.mid(20, 30)); // not taken for an identity
        QVERIFY(host->errors.isEmpty());
        QCOMPARE(host->log.last(), QStringLiteral("t1 300")); // quiet counted afresh
        host->log.clear();
        exchange->timer1Tick();
        QVERIFY(!exchange->settling());
        QCOMPARE(host->log, QStringList({"close", "open \\\\.\\COM1", "write V", "t1 3000"}));
        QCOMPARE(host->status, QStringLiteral("Ожидание готовности прибора ..."));
        exchange->receive(kIdentity);
        QVERIFY(host->errors.isEmpty());
        QCOMPARE(host->type, QStringLiteral("КВ-73-ЛР2(Тин)"));
    }

    // The whole rest come ends the wait at once; a cancel while waiting keeps what is still
    // to come; a head never seen bounds the wait by the buffer; a finished transfer or an
    // identity already read leaves nothing to wait for.
    void waitingForTheRest()
    {
        identify();
        exchange->receive("S0");
        exchange->cancel();
        QCOMPARE(exchange->leftToCome(), qint64(kReceiveBufferSize));
        exchange->show();
        exchange->receive(QByteArray(100, '7'));
        exchange->cancel();
        QCOMPARE(exchange->leftToCome(), qint64(kReceiveBufferSize - 100));
        exchange->show();
        QVERIFY(exchange->settling());
        host->log.clear();
        exchange->receive(QByteArray(kReceiveBufferSize - 100, '7'));
        QCOMPARE(host->log.last(), QStringLiteral("t1 3000"));
        QVERIFY(host->log.contains(QStringLiteral("write V")));
        QCOMPARE(exchange->leftToCome(), qint64(0));

        exchange->receive(kIdentity);
        exchange->cancel(); // between identity and request: nothing more comes
        QCOMPARE(exchange->leftToCome(), qint64(0));
        host->log.clear();
        exchange->show();
        QCOMPARE(host->log, QStringList({"open \\\\.\\COM1", "write V", "t1 3000"}));
    }

    void lostPortEndsTheExchange()
    {
        identify();
        exchange->portLost(QStringLiteral("/dev/ttyUSB0: Input/output error"));
        QCOMPARE(host->result, 2);
        QVERIFY(host->errors.first().contains(QStringLiteral("Input/output error")));
        exchange->portLost(QStringLiteral("again"));
        QCOMPARE(host->errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
