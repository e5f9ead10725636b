#include "app/version_info.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace t7 {

#ifdef Q_OS_WIN

QString fileVersionOf(const QString& programPath)
{
    const std::wstring path = programPath.toStdWString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return QStringLiteral("0.0.0.0");
    QByteArray block(int(size) + 1, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return QStringLiteral("0.0.0.0");
    void* translation = nullptr;
    UINT length = 0;
    QString key;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) &&
        length >= 4) {
        const auto* words = static_cast<const WORD*>(translation);
        key = QStringLiteral("%1%2")
                  .arg(words[0], 4, 16, QLatin1Char('0'))
                  .arg(words[1], 4, 16, QLatin1Char('0'))
                  .toUpper();
    }
    const std::wstring query =
        (QStringLiteral("\\StringFileInfo\\") + key + QStringLiteral("\\FileVersion"))
            .toStdWString();
    void* value = nullptr;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length <= 1)
        return QStringLiteral("0.0.0.0");
    return QString::fromWCharArray(static_cast<const wchar_t*>(value), int(length) - 1);
}

#else

// Elsewhere the program file carries its version block as data: a marker, then the
// translation key, then NUL-separated name/value pairs, ended by an empty name.
QString fileVersionOf(const QString& programPath)
{
    QFile file(programPath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("0.0.0.0");
    const QByteArray bytes = file.readAll();
    // Built at run time, so that this text itself is not taken for the block.
    QByteArray marker("VS_VERSION_INFO");
    marker.prepend('\x01');
    marker.append("\x01T7", 3);
    const qsizetype at = bytes.indexOf(marker);
    if (at < 0)
        return QStringLiteral("0.0.0.0");
    qsizetype pos = at + marker.size() + 1;
    auto next = [&bytes, &pos]() -> QByteArray {
        const qsizetype end = bytes.indexOf('\0', pos);
        if (end < 0)
            return {};
        QByteArray text = bytes.mid(pos, end - pos);
        pos = end + 1;
        return text;
    };
    const QByteArray translation = next();
    const QByteArray wanted = "\\StringFileInfo\\" + translation + "\\FileVersion";
    for (int guard = 0; guard < 64; ++guard) {
        const QByteArray name = next();
        if (name.isEmpty())
            break;
        const QByteArray value = next();
        if (name == wanted && !value.isEmpty())
            return QString::fromUtf8(value);
    }
    return QStringLiteral("0.0.0.0");
}

#endif

} // namespace t7
