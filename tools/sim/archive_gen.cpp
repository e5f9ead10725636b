#include "tools/sim/archive_gen.h"

#include <random>

namespace t7::sim {

namespace {

void putWord(QByteArray& out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

} // namespace

QByteArray buildArchive(const QList<Observation>& observations)
{
    QByteArray image;
    image.reserve(4 + 22 * observations.size());
    putWord(image, quint16(observations.size()));
    putWord(image, 0);
    for (const Observation& o : observations) {
        for (quint16 v : {o.st, o.t1, o.t2, o.p1, o.p2, o.t3, o.f})
            putWord(image, v);
        const QTime time = o.when.time();
        const QDate date = o.when.date();
        image.append(char(time.second()));
        image.append(char(time.minute()));
        image.append(char(time.hour()));
        image.append(char(date.day()));
        image.append(char(date.month()));
        image.append(char(date.year() - 2000));
        putWord(image, 0);
    }
    return image;
}

QList<Observation> generateObservations(int count, quint32 seed)
{
    std::mt19937 random(seed);
    auto between = [&random](int low, int high) {
        return quint16(std::uniform_int_distribution<int>(low, high)(random));
    };
    QList<Observation> list;
    list.reserve(count);
    QDateTime when(QDate(2012, 3, 9), QTime(9, 30, 0));
    for (int i = 0; i < count; ++i) {
        Observation o;
        o.st = between(5000, 40000);
        o.t1 = between(60, 400);
        o.t2 = between(90, 600);
        o.p1 = between(500, 5000);
        o.p2 = between(400, 600);
        o.t3 = between(100, 300);
        o.f = between(5, 50);
        if (between(0, 19) == 0)
            o.t1 = between(0, 4); // an impact the instrument did not register
        when = when.addSecs(between(20, 900));
        o.when = when;
        list.append(o);
    }
    return list;
}

} // namespace t7::sim
