#include "tests/support/scripted_prompts.h"

#include <QTest>

namespace t7::test {

QStringList ScriptedPrompts::texts() const
{
    QStringList list;
    for (const Shown& s : shown)
        list.append(s.text);
    return list;
}

QVariant ScriptedPrompts::next(const QString& kind)
{
    if (m_answers.empty()) {
        qWarning("ScriptedPrompts: no answer queued for a %s", qPrintable(kind));
        return {};
    }
    QVariant answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedPrompts::message(const QString& text, const QString& caption, Icon icon)
{
    shown.append({QStringLiteral("message"), text, caption, icon, {}});
}

Answer ScriptedPrompts::question(const QString& text, const QString& caption, Icon icon)
{
    shown.append({QStringLiteral("question"), text, caption, icon, {}});
    const QVariant answer = next(QStringLiteral("question"));
    return answer.isValid() ? Answer(answer.toInt()) : Answer::Cancel;
}

QString ScriptedPrompts::saveFileName(const FileDialogSpec& spec)
{
    shown.append({QStringLiteral("save"), {}, {}, Icon::None, spec});
    return next(QStringLiteral("save file dialog")).toString();
}

QString ScriptedPrompts::openFileName(const FileDialogSpec& spec)
{
    shown.append({QStringLiteral("open"), {}, {}, Icon::None, spec});
    return next(QStringLiteral("open file dialog")).toString();
}

std::optional<quint32> ScriptedPrompts::chooseColor(quint32 initial)
{
    lastInitialColor = initial;
    shown.append({QStringLiteral("color"), {}, {}, Icon::None, {}});
    const QVariant answer = next(QStringLiteral("colour dialog"));
    if (!answer.isValid())
        return std::nullopt;
    return answer.toUInt();
}

} // namespace t7::test
