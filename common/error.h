#pragma once

#include <QString>

#include <exception>
#include <utility>

namespace t7 {

// The one exception type of the engines: it carries the text the operator will read.
class Error : public std::exception
{
public:
    explicit Error(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// The caption of the messages in which a command reports a failure it foresees.
inline QString errorCaption()
{
    return QStringLiteral("Ошибка");
}

// The text of the general error box: a full stop is added when the last character sorts
// after the full stop, so "...!" or "...)" stay as they are.
QString generalErrorText(const QString& text);

// The text an unexpected exception carries.
QString exceptionText(const std::exception& e);

} // namespace t7
