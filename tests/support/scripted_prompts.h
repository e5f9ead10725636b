#pragma once

#include "common/prompts.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <deque>

namespace t7::test {

// Answers every prompt from a queue and records what was shown; never blocks.
class ScriptedPrompts : public Prompts
{
public:
    struct Shown
    {
        QString kind; // "message", "question", "save", "open", "color"
        QString text;
        QString caption;
        Icon icon = Icon::None;
        FileDialogSpec spec;
    };

    // Queued answers: an Answer for questions, a QString for file dialogs, a quint32 colour
    // or an empty QVariant (cancel) for the colour dialog.
    void push(QVariant answer) { m_answers.push_back(std::move(answer)); }
    void pushAnswer(Answer answer) { push(QVariant::fromValue(int(answer))); }
    bool exhausted() const { return m_answers.empty(); }

    QList<Shown> shown;
    QStringList texts() const;
    void clear() { shown.clear(); }

    void message(const QString& text, const QString& caption, Icon icon) override;
    Answer question(const QString& text, const QString& caption, Icon icon) override;
    QString saveFileName(const FileDialogSpec& spec) override;
    QString openFileName(const FileDialogSpec& spec) override;
    std::optional<quint32> chooseColor(quint32 initial) override;

    quint32 lastInitialColor = 0;

private:
    QVariant next(const QString& kind);
    std::deque<QVariant> m_answers;
};

} // namespace t7::test
