#include "data/conversion.h"

#include "common/error.h"
#include "data/number_text.h"

#include <QDateTime>

#include <cstdlib>

namespace t7 {

namespace {

quint16 word(QByteArrayView image, qsizetype at)
{
    return quint16(quint8(image[at]) | quint8(image[at + 1]) << 8);
}

// The zero test of the instrument: |s| rounded to tens gives 0, that is −4 ≤ s ≤ 4.
bool readsAsZero(quint16 value)
{
    const int magnitude = std::abs(int(qint16(value)));
    return (magnitude + 5) / 10 == 0;
}

QString zeroText()
{
    return QStringLiteral("0,0"); // always a comma, whatever the regional settings
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QDateTime parseStamp(const QString& date, const QString& time)
{
    const QDate d = QDate::fromString(date, QStringLiteral("dd.MM.yyyy"));
    const QTime t = QTime::fromString(time, QStringLiteral("HH:mm:ss"));
    if (!d.isValid() || !t.isValid())
        throw Error(QStringLiteral("'%1 %2' is not a valid date and time").arg(date, time));
    return QDateTime(d, t);
}

struct Record
{
    QByteArrayView bytes;
    quint16 at(int offset) const { return word(bytes, offset); }
    quint8 byte(int offset) const { return quint8(bytes[offset]); }
    QString time() const { return timeText(byte(16), byte(15), byte(14)); }
    QString date() const { return dateText(byte(17), byte(18), byte(19)); }
};

Record recordAt(QByteArrayView image, int index)
{
    const qsizetype offset = kArchiveHeadSize + qsizetype(index) * kArchiveRecordSize;
    if (offset + kArchiveRecordSize > image.size())
        throw Error(QStringLiteral("Range check error"));
    return Record{image.sliced(offset, kArchiveRecordSize)};
}

} // namespace

QString valueText(quint16 value)
{
    return value == 0 ? zeroText() : QString::number(value);
}

QString measuredText(quint16 value)
{
    return readsAsZero(value) ? zeroText() : QString::number(value);
}

QString scaledText(quint16 value, int divisor)
{
    if (readsAsZero(value))
        return zeroText();
    return formatGeneral(double(value) / divisor);
}

QString timeText(quint8 hours, quint8 minutes, quint8 seconds)
{
    const QString hh = hours <= 23 ? twoDigits(hours) : QStringLiteral("00");
    const QString mm = minutes <= 59 ? twoDigits(minutes) : QStringLiteral("00");
    const QString ss = seconds <= 59 ? twoDigits(seconds) : QStringLiteral("00");
    return hh + QLatin1Char(':') + mm + QLatin1Char(':') + ss;
}

QString dateText(quint8 day, quint8 month, quint8 year)
{
    const QString dd = day >= 1 && day <= 31 ? twoDigits(day) : QStringLiteral("01");
    const QString mm = month >= 1 && month <= 12 ? twoDigits(month) : QStringLiteral("01");
    return dd + QLatin1Char('.') + mm + QLatin1Char('.') + QString::number(2000 + year);
}

int flash2pvk01(dbf::Table& table, QByteArrayView image, bool append, quint16& archiveCount)
{
    if (!table.isOpen())
        return 0;
    table.refresh();
    table.last();
    const quint16 n = word(image, 0);
    archiveCount = n;

    int k = 0;
    if (append && table.visibleCount() > 0) {
        const QDateTime last = parseStamp(table.text(u"DATE"), table.text(u"TIME"));
        while (k < n) {
            const Record record = recordAt(image, k);
            if (parseStamp(record.date(), record.time()) > last)
                break;
            ++k;
        }
    }

    int appended = 0;
    for (int i = k; i < n; ++i) {
        const Record record = recordAt(image, i);
        table.append();
        table.setInteger(u"N", i + 1);
        table.setText(u"MODE", QStringLiteral("Наблюдения"));
        table.setText(u"ST", valueText(record.at(0)));
        table.setText(u"T_1", measuredText(record.at(2)));
        table.setText(u"T_2", measuredText(record.at(4)));
        table.setText(u"P_1", scaledText(record.at(6), 1000));
        table.setText(u"P_2", scaledText(record.at(8), 10));
        table.setText(u"T_3", scaledText(record.at(10), 10));
        table.setText(u"F", measuredText(record.at(12)));
        table.setText(u"TIME", record.time());
        table.setText(u"DATE", record.date());
        table.setText(u"COMMENT", QString());
        table.post();
        ++appended;
    }
    archiveCount = word(image, 0);
    return appended;
}

} // namespace t7
