#include "device/comm_port_driver.h"

#include "common/settings.h"
#include "tests/support/test_env.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

using namespace t7;

namespace {

// The instrument's end of a pseudo-terminal pair; the driver opens the other end.
struct Line
{
    int master = -1;
    QString path;
    Line()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        grantpt(master);
        unlockpt(master);
        path = QString::fromLocal8Bit(ptsname(master));
    }
    ~Line() { hangUp(); }
    void hangUp()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(master, bytes.constData() + done, bytes.size() - done);
            if (put > 0)
                done += put;
            else
                QTest::qWait(5);
        }
    }
    QByteArray take()
    {
        char buffer[256];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        return got > 0 ? QByteArray(buffer, got) : QByteArray();
    }
};

} // namespace

class TestDriver : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { test::isolateSettings(home); }

    void settingsAreClamped()
    {
        TCommPortDriver driver;
        QCOMPARE(driver.PortName(), QStringLiteral("\\\\.\\COM2"));
        driver.setInBufSize(100);
        QCOMPARE(driver.InBufSize(), 128u);
        driver.setInBufSize(10000);
        QCOMPARE(driver.InBufSize(), 8192u);
        driver.setOutBufSize(1);
        QCOMPARE(driver.OutBufSize(), 128u);
        driver.setPollingDelay(2);
        QCOMPARE(driver.PollingDelay(), quint16(5));
        driver.setPort(TCommPortDriver::pnCOM3);
        QCOMPARE(driver.PortName(), QStringLiteral("\\\\.\\COM3"));
        driver.setBaudRate(TCommPortDriver::br19200);
        QCOMPARE(driver.BaudRateValue(), 19200u);
    }

    void closedPort()
    {
        TCommPortDriver driver;
        driver.setPortName(QStringLiteral("/nonexistent/tty"));
        QVERIFY(!driver.OpenPort());
        QVERIFY(!driver.IsOpen());
        QVERIFY(!driver.lastError().isEmpty());
        QVERIFY(!driver.WriteByte('V'));
        driver.ClosePort(); // closing a closed port does nothing
    }

    void openWriteReadClose()
    {
        Line line;
        TCommPortDriver driver;
        driver.setInBufSize(128);
        QList<quint32> batches;
        QByteArray received;
        driver.OnReceiveData = [&](TCommPortDriver* sender, const char* data, quint32 size) {
            QCOMPARE(sender, &driver);
            batches.append(size);
            received.append(data, size);
        };
        driver.setPortName(line.path);
        line.send("stale"); // arrives while closed: never delivered
        QTest::qWait(20);
        QVERIFY(driver.OpenPort());
        QVERIFY(driver.OpenPort());
        driver.setPortName(QStringLiteral("/dev/other"));
        QCOMPARE(driver.PortName(), line.path);

        QVERIFY(driver.WriteByte('V'));
        QByteArray written;
        QTRY_VERIFY((written += line.take()).endsWith('V'));

        QByteArray sent;
        for (int i = 0; i < 3000; ++i)
            sent.append(char('0' + i % 16));
        line.send(sent);
        QTRY_COMPARE(received.size(), sent.size());
        QCOMPARE(received, sent);
        for (quint32 size : batches)
            QVERIFY(size >= 1 && size <= 128);

        driver.ClosePort();
        QVERIFY(!driver.IsOpen());
        line.send("late");
        QTest::qWait(50);
        QCOMPARE(received.size(), sent.size());
    }

    void vanishingDeviceClosesThePort()
    {
        auto line = std::make_unique<Line>();
        TCommPortDriver driver;
        driver.setPortName(line->path);
        QSignalSpy lost(&driver, &TCommPortDriver::portLost);
        QVERIFY(driver.OpenPort());
        line->hangUp();
        QTRY_VERIFY(!driver.IsOpen());
        QCOMPARE(lost.size(), 1);
    }

    void comNamesMapThroughSettings()
    {
        auto settings = openSettings();
        settings->setValue(QStringLiteral("Port_COM1"), QStringLiteral("/dev/pts/77"));
        settings->sync();
        QCOMPARE(resolvePortName(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/pts/77"));
        QCOMPARE(resolvePortName(QStringLiteral("/dev/ttyUSB3")), QStringLiteral("/dev/ttyUSB3"));
        const QString second = resolvePortName(QStringLiteral("\\\\.\\COM2"));
        QVERIFY(second.startsWith(QLatin1String("/dev/tty")));
    }
};

QTEST_GUILESS_MAIN(TestDriver)
#include "tst_driver.moc"
