#include "device/codec.h"

#include "common/disk_file.h"
#include "common/error.h"

#include <cstring>

namespace t7 {

ReceiveBuffer& theReceiveBuffer()
{
    static ReceiveBuffer buffer;
    return buffer;
}

DeviceImage& theDeviceImage()
{
    static DeviceImage image;
    return image;
}

namespace {

int nibble(const ReceiveBuffer& buffer, qint64 position)
{
    return int(buffer.bytes[size_t(position)]) - 48;
}

bool inside(qint64 position)
{
    return position >= 0 && position < kReceiveBufferSize;
}

} // namespace

int DecodeByte(const ReceiveBuffer& buffer, qint64 position)
{
    if (!inside(position) || !inside(position + 1))
        throw DecodeError(QStringLiteral("позиция %1 вне буфера приёма").arg(position));
    const int value = nibble(buffer, position + 1) * 16 + nibble(buffer, position);
    if (value < 0 || value > 255)
        throw DecodeError(QStringLiteral("недопустимые символы в позиции %1").arg(position));
    return value;
}

int DecodeWord(const ReceiveBuffer& buffer, qint64 position)
{
    if (!inside(position) || !inside(position + 3))
        throw DecodeError(QStringLiteral("позиция %1 вне буфера приёма").arg(position));
    const int value = nibble(buffer, position + 1) * 16 + nibble(buffer, position) +
                      (nibble(buffer, position + 3) * 16 + nibble(buffer, position + 2)) * 256;
    if (value < 0 || value > 65535)
        throw DecodeError(QStringLiteral("недопустимые символы в позиции %1").arg(position));
    return value;
}

qint64 FindMarker(const ReceiveBuffer& buffer, char letter)
{
    const void* hit =
        std::memchr(buffer.bytes.data(), static_cast<unsigned char>(letter), buffer.bytes.size());
    if (!hit)
        return kReceiveBufferSize;
    return static_cast<const unsigned char*>(hit) - buffer.bytes.data();
}

qint64 DecodeArchive(const ReceiveBuffer& buffer, DeviceImage& image)
{
    const qint64 end = FindMarker(buffer, 'P');
    const qint64 start = FindMarker(buffer, 'S');
    if (start >= end)
        throw DecodeError(QStringLiteral("нет начала или конца архива"));
    const qint64 characters = end - start - 1;
    if (characters == 0 || characters % 2 != 0)
        throw DecodeError(QStringLiteral("неполный архив (%1 символов)").arg(characters));
    const qint64 length = characters / 2;
    if (length > kMaxArchiveBytes)
        throw DecodeError(QStringLiteral("архив длиннее %1 байт").arg(kMaxArchiveBytes));
    const unsigned char* in = buffer.bytes.data() + start + 1;
    for (qint64 k = 0; k < length; ++k) {
        const int value = (int(in[2 * k + 1]) - 48) * 16 + (int(in[2 * k]) - 48);
        if (value < 0 || value > 255)
            throw DecodeError(
                QStringLiteral("недопустимые символы в позиции %1").arg(start + 1 + 2 * k));
        image.bytes[size_t(k)] = static_cast<unsigned char>(value);
    }
    return length;
}

void EncodeByte(unsigned char value, QByteArray& out)
{
    out.append(char(48 + (value & 0x0F)));
    out.append(char(48 + (value >> 4)));
}

QByteArray EncodeBytes(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        EncodeByte(static_cast<unsigned char>(c), out);
    return out;
}

void WriteDumpFile(const QString& path, const DeviceImage& image, qint64 length)
{
    QString error;
    if (!writeFileSafely(
            path, QByteArrayView(reinterpret_cast<const char*>(image.bytes.data()), length), error))
        throw Error(QStringLiteral("Не удалось записать файл %1: %2").arg(path, error));
}

} // namespace t7
