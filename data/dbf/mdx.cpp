#include "data/dbf/mdx.h"

#include "data/dbf/bytes.h"
#include "data/dbf/storage.h"

#include <algorithm>
#include <cstring>

namespace t7::dbf {

namespace {

constexpr int kTagHeaderPage = 4; // the tag header block
constexpr int kFirstNodePage = 6;

} // namespace

int mdxItemLength(int keyLength)
{
    return (keyLength + 4 + 3) / 4 * 4;
}

int mdxKeysPerNode(int keyLength)
{
    return (kMdxBlock - 12) / mdxItemLength(keyLength);
}

void encodeNumericKey(int value, char* out)
{
    std::memset(out, 0, kNumericKeyLength);
    if (value == 0) {
        out[0] = 0x34;
        out[1] = 0x01;
        return;
    }
    const QByteArray digits = QByteArray::number(qAbs(qint64(value)));
    out[0] = char(52 + digits.size());
    out[1] = char((value < 0 ? 0x80 : 0) | (10 << 2) | 1);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const int digit = digits[i] - '0';
        out[2 + i / 2] = char(out[2 + i / 2] | (i % 2 == 0 ? digit << 4 : digit));
    }
}

QByteArray buildMdx(const QString& tableBaseName, const MdxTag& tag,
                    const std::vector<quint32>& order,
                    const std::function<void(quint32 record, char* out)>& key, QDate today)
{
    const int keyLength = tag.keyLength;
    const int item = mdxItemLength(keyLength);
    const int perNode = mdxKeysPerNode(keyLength);

    // Plan the tree bottom-up: a level is a list of nodes, a node a run of children.
    struct Node
    {
        qsizetype first = 0; // first child (entry of the level below, or key of the leaves)
        qsizetype count = 0;
        quint32 lastRecord = 0; // the last key of the subtree, as the record holding it
    };
    std::vector<std::vector<Node>> levels;
    {
        std::vector<Node> leaves;
        const qsizetype n = qsizetype(order.size());
        for (qsizetype at = 0; at < n || leaves.empty(); at += perNode) {
            const qsizetype count = std::min<qsizetype>(perNode, n - at);
            leaves.push_back({at, count, count > 0 ? order[size_t(at + count - 1)] : 0});
        }
        levels.push_back(std::move(leaves));
    }
    while (levels.back().size() > 1) {
        const std::vector<Node>& below = levels.back();
        std::vector<Node> level;
        const qsizetype n = qsizetype(below.size());
        for (qsizetype at = 0; at < n; at += perNode + 1) {
            const qsizetype count = std::min<qsizetype>(perNode + 1, n - at);
            level.push_back({at, count, below[size_t(at + count - 1)].lastRecord});
        }
        levels.push_back(std::move(level));
    }

    // Pages: leaves first, then each interior level, the root last.
    std::vector<quint32> firstPage(levels.size());
    quint32 blocks = 0;
    for (size_t l = 0; l < levels.size(); ++l) {
        firstPage[l] = kFirstNodePage + 2 * blocks;
        blocks += quint32(levels[l].size());
    }
    const quint32 rootPage = kFirstNodePage + 2 * (blocks - 1);
    const quint32 totalPages = kFirstNodePage + 2 * blocks;

    QByteArray file(qsizetype(totalPages) * kMdxPage, '\0');
    char* data = file.data();

    // File header.
    data[0] = 0x02;
    putDate(data + 1, today);
    const QByteArray base = tableBaseName.toUpper().toLatin1().left(16);
    std::memcpy(data + 4, base.constData(), size_t(base.size()));
    put16(data + 20, 2);
    put16(data + 22, kMdxBlock);
    data[24] = 1;
    data[25] = 48;
    data[26] = 32;
    put16(data + 28, 1);
    data[31] = 0x1B;
    put32(data + 32, totalPages);
    putDate(data + 44, today);
    data[529] = 0x01;

    const char keyFormat = char(0x10 | (tag.descending ? 0x08 : 0));
    const QByteArray name = tag.name.toUpper().toLatin1().left(10);
    char* slot = data + 544;
    put32(slot, kTagHeaderPage);
    std::memcpy(slot + 4, name.constData(), size_t(name.size()));
    slot[15] = keyFormat;
    slot[19] = 0x02;
    slot[20] = tag.keyType;

    // Tag header.
    char* header = data + kTagHeaderPage * kMdxPage;
    put32(header, rootPage);
    put32(header + 4, 2 * blocks);
    header[8] = keyFormat;
    header[9] = tag.keyType;
    header[11] = 0x1B;
    put16(header + 12, quint32(keyLength));
    put16(header + 14, quint32(perNode));
    put16(header + 18, quint32(item));
    header[20] = 2;
    const QByteArray expression = tag.expression.toUpper().toLatin1().left(220);
    std::memcpy(header + 24, expression.constData(), size_t(expression.size()));
    put32(header + 248, firstPage[0]);
    put32(header + 252, rootPage);
    putDate(header + 257, today);

    // Nodes.
    for (size_t l = 0; l < levels.size(); ++l) {
        const std::vector<Node>& level = levels[l];
        for (size_t i = 0; i < level.size(); ++i) {
            const Node& node = level[i];
            char* block = data + qsizetype(firstPage[l] + 2 * i) * kMdxPage;
            if (l == 0) {
                put32(block, quint32(node.count));
                put32(block + 4, i == 0 ? 0 : firstPage[0] + 2 * quint32(i - 1));
                for (qsizetype k = 0; k < node.count; ++k) {
                    const quint32 record = order[size_t(node.first + k)];
                    put32(block + 8 + k * item, record + 1);
                    key(record, block + 12 + k * item);
                }
            } else {
                const std::vector<Node>& below = levels[l - 1];
                const qsizetype keys = node.count - 1;
                put32(block, quint32(keys));
                for (qsizetype k = 0; k < node.count; ++k) {
                    const qsizetype child = node.first + k;
                    const quint32 childPage = firstPage[l - 1] + 2 * quint32(child);
                    if (k < keys) {
                        put32(block + 8 + k * item, childPage);
                        key(below[size_t(child)].lastRecord, block + 12 + k * item);
                    } else {
                        put32(block + 8 + keys * item, childPage);
                    }
                }
            }
        }
    }
    return file;
}

std::optional<MdxTag> readMdxTag(File& file, const QString& tableBaseName)
{
    const qint64 size = file.size();
    if (size < kFirstNodePage * kMdxPage + kMdxBlock || size % kMdxPage != 0)
        return std::nullopt;
    QByteArray head(kFirstNodePage * kMdxPage, '\0');
    if (!file.read(0, head.data(), head.size()))
        return std::nullopt;
    const char* data = head.constData();
    if (data[0] != 0x02 || get16(data + 22) != kMdxBlock || data[24] != 1 ||
        get32(data + 32) != quint32(size / kMdxPage) || get16(data + 28) < 1)
        return std::nullopt;
    const QByteArray base = QByteArray(data + 4, 16).constData();
    if (QString::fromLatin1(base).compare(tableBaseName.left(16), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const char* slot = data + 544;
    const quint32 headerPage = get32(slot);
    if (headerPage != kTagHeaderPage)
        return std::nullopt;
    MdxTag tag;
    tag.name = QString::fromLatin1(QByteArray(slot + 4, 11).constData());
    const char* header = data + headerPage * kMdxPage;
    tag.keyType = header[9];
    tag.descending = (header[8] & 0x08) != 0;
    tag.keyLength = int(get16(header + 12));
    tag.expression = QString::fromLatin1(QByteArray(header + 24, 221).constData()).trimmed();
    const quint32 root = get32(header);
    if ((tag.keyType != 'C' && tag.keyType != 'N') || tag.keyLength < 1 || tag.keyLength > 100 ||
        (tag.keyType == 'N' && tag.keyLength != kNumericKeyLength) ||
        int(get16(header + 18)) != mdxItemLength(tag.keyLength) || tag.name.isEmpty() ||
        tag.expression.isEmpty() || root < kFirstNodePage || root * kMdxPage >= size)
        return std::nullopt;
    return tag;
}

} // namespace t7::dbf
