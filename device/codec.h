#pragma once

#include "common/error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

namespace t7 {

constexpr qint64 kReceiveBufferSize = 262144;
constexpr qint64 kDeviceImageSize = 65536;
constexpr qint64 kMaxArchiveBytes = 65535;

// The characters received since the last reset of the exchange, from index 0. Beyond the
// current count it keeps what earlier replies left there.
struct ReceiveBuffer
{
    std::array<unsigned char, kReceiveBufferSize> bytes{};
};

// The decoded archive.
struct DeviceImage
{
    std::array<unsigned char, kDeviceImageSize> bytes{};
};

// The one receive buffer and the one device image of the program run.
ReceiveBuffer& theReceiveBuffer();
DeviceImage& theDeviceImage();

// Thrown when the characters of a reply do not decode.
class DecodeError : public Error
{
public:
    using Error::Error;
};

// Two characters (low nibble first) into a byte.
int DecodeByte(const ReceiveBuffer& buffer, qint64 position);
// Four characters (low byte first) into a 16-bit number.
int DecodeWord(const ReceiveBuffer& buffer, qint64 position);
// Smallest index holding the letter, or kReceiveBufferSize when there is none.
qint64 FindMarker(const ReceiveBuffer& buffer, char letter);
// Decodes the body between the first 'S' and the first 'P' into the image; returns its
// length in bytes.
qint64 DecodeArchive(const ReceiveBuffer& buffer, DeviceImage& image);

// The instrument's side: a byte becomes two characters, low nibble first.
void EncodeByte(unsigned char value, QByteArray& out);
QByteArray EncodeBytes(QByteArrayView bytes);

// Writes the first `length` bytes of the image as a dump file, replacing any file of that
// name only once every byte is on disk. Throws t7::Error on failure.
void WriteDumpFile(const QString& path, const DeviceImage& image, qint64 length);

} // namespace t7
