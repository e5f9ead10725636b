#include "common/error.h"
#include "device/codec.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace t7;

class TestCodec : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReceiveBuffer> fresh(QByteArrayView text)
    {
        auto buffer = std::make_unique<ReceiveBuffer>();
        std::copy(text.begin(), text.end(), buffer->bytes.begin());
        return buffer;
    }

private slots:
    void decodeByte_data()
    {
        QTest::addColumn<QByteArray>("pair");
        QTest::addColumn<int>("value"); // -1: decoding error
        QTest::newRow("00") << QByteArray("00") << 0;
        QTest::newRow("21") << QByteArray("21") << 18;
        QTest::newRow("20") << QByteArray("20") << 2;
        QTest::newRow(":0") << QByteArray(":0") << 10;
        QTest::newRow("?0") << QByteArray("?0") << 15;
        QTest::newRow("0?") << QByteArray("0?") << 240;
        QTest::newRow("??") << QByteArray("??") << 255;
        QTest::newRow("/0 is -1") << QByteArray("/0") << -1;
        QTest::newRow("@0 only the value is bounded") << QByteArray("@0") << 16;
        QTest::newRow("0@ is 256") << QByteArray("0@") << -1;
    }
    void decodeByte()
    {
        QFETCH(QByteArray, pair);
        QFETCH(int, value);
        auto buffer = fresh(pair);
        if (value < 0)
            QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeByte(*buffer, 0));
        else
            QCOMPARE(DecodeByte(*buffer, 0), value);
    }

    void decodeOutsideBuffer()
    {
        auto buffer = fresh("00");
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeByte(*buffer, kReceiveBufferSize - 1));
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeByte(*buffer, -1));
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeWord(*buffer, kReceiveBufferSize - 3));
    }

    void decodeWord()
    {
        QCOMPARE(DecodeWord(*fresh("1000"), 0), 1);
        QCOMPARE(DecodeWord(*fresh("0010"), 0), 256);
        QCOMPARE(DecodeWord(*fresh("????"), 0), 65535);
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeWord(*fresh("00/0"), 0));
    }

    void findMarker()
    {
        auto buffer = fresh("12S34P56P");
        QCOMPARE(FindMarker(*buffer, 'S'), 2);
        QCOMPARE(FindMarker(*buffer, 'P'), 5);
        QCOMPARE(FindMarker(*buffer, 'Z'), kReceiveBufferSize);
    }

    void decodeArchive()
    {
        auto image = std::make_unique<DeviceImage>();
        image->bytes.fill(0xAA);
        QCOMPARE(DecodeArchive(*fresh("S1000P"), *image), 2);
        QCOMPARE(image->bytes[0], 1);
        QCOMPARE(image->bytes[1], 0);
        QCOMPARE(image->bytes[2], 0xAA); // the rest stays as it was
    }

    void malformedArchives_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("odd body") << QByteArray("S100P");
        QTest::newRow("empty body") << QByteArray("SP");
        QTest::newRow("P before S") << QByteArray("P10S");
        QTest::newRow("no P") << QByteArray("S1000");
        QTest::newRow("bad pair") << QByteArray("S10/0P");
    }
    void malformedArchives()
    {
        QFETCH(QByteArray, reply);
        auto image = std::make_unique<DeviceImage>();
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeArchive(*fresh(reply), *image));
    }

    void badPairKeepsBytesBefore()
    {
        auto image = std::make_unique<DeviceImage>();
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeArchive(*fresh("S1020/0P"), *image));
        QCOMPARE(image->bytes[0], 1);
        QCOMPARE(image->bytes[1], 2);
    }

    void longestArchive()
    {
        auto buffer = std::make_unique<ReceiveBuffer>();
        auto image = std::make_unique<DeviceImage>();
        QByteArray reply = "S" + QByteArray(2 * 65535, '1') + "P";
        std::copy(reply.begin(), reply.end(), buffer->bytes.begin());
        QCOMPARE(DecodeArchive(*buffer, *image), 65535);
        QCOMPARE(image->bytes[65534], 0x11);
        QCOMPARE(image->bytes[65535], 0);

        reply = "S" + QByteArray(2 * 65536, '1') + "P";
        std::copy(reply.begin(), reply.end(), buffer->bytes.begin());
        QVERIFY_THROWS_EXCEPTION(DecodeError, DecodeArchive(*buffer, *image));
    }

    void shorterArchiveLeavesTail()
    {
        auto image = std::make_unique<DeviceImage>();
        QCOMPARE(DecodeArchive(*fresh("S" + EncodeBytes("\x05\x06\x07\x08") + "P"), *image), 4);
        QCOMPARE(DecodeArchive(*fresh("S" + EncodeBytes("\x09") + "P"), *image), 1);
        QCOMPARE(image->bytes[0], 9);
        QCOMPARE(image->bytes[1], 6);
        QCOMPARE(image->bytes[3], 8);
    }

    void encodeIsTheInverse()
    {
        QCOMPARE(EncodeBytes(QByteArray("\x12\xF0", 2)), QByteArray("210?"));
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        auto buffer = fresh("S" + EncodeBytes(all) + "P");
        auto image = std::make_unique<DeviceImage>();
        QCOMPARE(DecodeArchive(*buffer, *image), 256);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(image->bytes.data()), 256), all);
    }

    void dumpFile()
    {
        QTemporaryDir dir;
        auto image = std::make_unique<DeviceImage>();
        image->bytes[0] = 7;
        image->bytes[2] = 9;
        const QString path = dir.filePath(QStringLiteral("a.bin"));
        WriteDumpFile(path, *image, 3);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\x07\x00\x09", 3));
        QVERIFY_THROWS_EXCEPTION(
            Error, WriteDumpFile(dir.filePath(QStringLiteral("no/x.bin")), *image, 3));
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
