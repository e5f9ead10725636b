#include "data/dbf/codepage.h"

#include "data/dbf/codepage_tables.h"

namespace t7::dbf {

CodePage::CodePage(int number, const char16_t* upper) : m_number(number), m_upper(upper)
{
    for (int i = 0; i < 128; ++i) {
        if (upper[i] != 0xFFFD)
            m_reverse.emplace(upper[i], static_cast<unsigned char>(0x80 + i));
    }
}

QString CodePage::decode(const char* data, qsizetype size) const
{
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out[i] = byte < 0x80 ? QChar(char16_t(byte)) : QChar(m_upper[byte - 0x80]);
    }
    return text;
}

bool CodePage::encode(const QString& text, QByteArray& out) const
{
    out.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            out[i] = char(c);
            continue;
        }
        const auto hit = m_reverse.find(c);
        if (hit == m_reverse.end())
            return false;
        out[i] = char(hit->second);
    }
    return true;
}

namespace {

struct Known
{
    quint8 id;
    int page;
};

// The published dBase language driver ids of the code pages this program reads.
constexpr Known kIds[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x09, 437},  {0x0A, 850},  {0x0B, 437}, {0x0D, 437},
    {0x0E, 850},  {0x0F, 437},  {0x10, 850},  {0x11, 437},  {0x12, 850},  {0x14, 850}, {0x15, 437},
    {0x16, 850},  {0x17, 850},  {0x18, 437},  {0x19, 437},  {0x1A, 850},  {0x1B, 437}, {0x1D, 850},
    {0x1F, 852},  {0x22, 852},  {0x23, 852},  {0x24, 860},  {0x25, 850},  {0x26, 866}, {0x37, 850},
    {0x40, 852},  {0x4D, 936},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x64, 852}, {0x65, 866},
    {0xC8, 1250}, {0xC9, 1251}, {0x00, 1251},
};

const CodePage* pageByNumber(int number)
{
    static const CodePage cp437(437, tables::cp437);
    static const CodePage cp850(850, tables::cp850);
    static const CodePage cp866(866, tables::cp866);
    static const CodePage cp1250(1250, tables::cp1250);
    static const CodePage cp1251(1251, tables::cp1251);
    static const CodePage cp1252(1252, tables::cp1252);
    switch (number) {
    case 437:
        return &cp437;
    case 850:
        return &cp850;
    case 866:
        return &cp866;
    case 1250:
        return &cp1250;
    case 1251:
        return &cp1251;
    case 1252:
        return &cp1252;
    default:
        return nullptr;
    }
}

} // namespace

const CodePage& codePageForLanguageId(quint8 id)
{
    for (const Known& known : kIds) {
        if (known.id == id) {
            if (const CodePage* page = pageByNumber(known.page))
                return *page;
        }
    }
    return *pageByNumber(1251);
}

} // namespace t7::dbf
