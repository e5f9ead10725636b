#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;

namespace t7 {

// The operator manual: its contents on the left, the text on the right, and a search field
// that finds words in the text.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Opens a help file at its contents; false when it cannot be read.
    bool open(const QString& path);
    QTreeWidget* contents() const { return m_contents; }
    QTextBrowser* text() const { return m_text; }
    QLineEdit* finder() const { return m_finder; }
    // Says beside the search field when the words are nowhere in the text.
    QLabel* searchStatus() const { return m_status; }
    // Finds the next place of the words in the finder; false when there is none.
    bool findNext();

private:
    QTreeWidget* m_contents;
    QTextBrowser* m_text;
    QLineEdit* m_finder;
    QLabel* m_status;
};

} // namespace t7
