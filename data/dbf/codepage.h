#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <unordered_map>

namespace t7::dbf {

// A single-byte code page: the lower half is ASCII, the upper half comes from a table.
class CodePage
{
public:
    CodePage(int number, const char16_t* upper);

    int number() const { return m_number; }
    QString decode(const char* data, qsizetype size) const;
    // False when a character has no byte in this code page.
    bool encode(const QString& text, QByteArray& out) const;

private:
    int m_number;
    const char16_t* m_upper;
    std::unordered_map<char16_t, unsigned char> m_reverse;
};

// The code page a dBase language driver id names; ids this program does not know, and 0,
// read as Windows-1251.
const CodePage& codePageForLanguageId(quint8 id);

constexpr quint8 kLanguageIdWindows1251 = 0xC9;

} // namespace t7::dbf
