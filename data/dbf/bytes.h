#pragma once

#include <QDate>
#include <QtGlobal>

namespace t7::dbf {

// Little-endian numbers inside file headers.
inline void put16(char* at, quint32 value)
{
    at[0] = char(value & 0xFF);
    at[1] = char((value >> 8) & 0xFF);
}

inline void put32(char* at, quint32 value)
{
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

inline quint32 get16(const char* at)
{
    return quint32(static_cast<unsigned char>(at[0])) | quint32(static_cast<unsigned char>(at[1]))
                                                            << 8;
}

inline quint32 get32(const char* at)
{
    return get16(at) | get16(at + 2) << 16;
}

// The date of a header write: year - 1900, month, day.
inline void putDate(char* at, QDate date)
{
    at[0] = char(date.year() - 1900);
    at[1] = char(date.month());
    at[2] = char(date.day());
}

} // namespace t7::dbf
