#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace t7 {

enum class Icon { None, Information, Warning, Error, Question };

enum class Answer { Ok, Yes, No, Cancel };

struct FileDialogSpec
{
    QString filter;        // in the form "Файлы данных|*.db"
    QString defaultSuffix; // without the dot: "db"
    QString folder;        // initial folder
    bool confirmOverwrite = false;
};

// Every message box, question, file dialog and colour dialog goes through here, so that
// tests can answer them from a script.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // A message with one OK button.
    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    // A question with the buttons Yes and No.
    virtual Answer question(const QString& text, const QString& caption, Icon icon) = 0;
    // The chosen file, or an empty text when cancelled.
    virtual QString saveFileName(const FileDialogSpec& spec) = 0;
    virtual QString openFileName(const FileDialogSpec& spec) = 0;
    // Colours are 0x00BBGGRR; nothing when cancelled.
    virtual std::optional<quint32> chooseColor(quint32 initial) = 0;
};

} // namespace t7
