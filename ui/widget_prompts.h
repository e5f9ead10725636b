#pragma once

#include "common/prompts.h"

class QWidget;

namespace t7 {

// The real dialogs: message boxes, file dialogs and the colour dialog.
class WidgetPrompts : public Prompts
{
public:
    explicit WidgetPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void message(const QString& text, const QString& caption, Icon icon) override;
    Answer question(const QString& text, const QString& caption, Icon icon) override;
    QString saveFileName(const FileDialogSpec& spec) override;
    QString openFileName(const FileDialogSpec& spec) override;
    std::optional<quint32> chooseColor(quint32 initial) override;

private:
    QWidget* m_parent;
};

// "Файлы данных|*.db" in the form Qt's file dialogs take: "Файлы данных (*.db)".
QString qtFilter(const QString& filter);

} // namespace t7
