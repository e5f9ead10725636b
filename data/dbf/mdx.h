#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace t7::dbf {

class File;

// One tag of a dBase IV production index.
struct MdxTag
{
    QString name;       // "TAB1"
    QString expression; // the key field's name, upper case
    char keyType = 'C'; // 'C' or 'N'
    bool descending = false;
    int keyLength = 0; // field width for 'C', 12 for 'N'
};

constexpr int kMdxPage = 512;
constexpr int kMdxBlock = 1024;
constexpr int kNumericKeyLength = 12;

// The item length and the keys a node holds for a key length.
int mdxItemLength(int keyLength);
int mdxKeysPerNode(int keyLength);

// A dBase IV numeric key: 0.d1d2… × 10^E as exponent byte, sign and digit count, BCD digits.
void encodeNumericKey(int value, char* out);

// Writes the whole index file for one tag. `order` holds record indexes (0-based) in index
// order; `key` writes the key bytes of a record.
QByteArray buildMdx(const QString& tableBaseName, const MdxTag& tag,
                    const std::vector<quint32>& order,
                    const std::function<void(quint32 record, char* out)>& key, QDate today);

// Reads and checks the header and the tag table; nothing when the file is not a production
// index of that table, or is damaged.
std::optional<MdxTag> readMdxTag(File& file, const QString& tableBaseName);

} // namespace t7::dbf
