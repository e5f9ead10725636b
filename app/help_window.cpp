#include "app/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace t7 {

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent, Qt::Window), m_contents(new QTreeWidget(this)),
      m_text(new QTextBrowser(this)), m_finder(new QLineEdit(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Помощь - ТЕСКАР-7"));
    resize(900, 640);
    m_contents->setHeaderLabel(QStringLiteral("Содержание"));
    m_finder->setPlaceholderText(QStringLiteral("Найти в тексте"));
    m_finder->setClearButtonEnabled(true);
    m_text->setOpenExternalLinks(false);

    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel(QStringLiteral("Поиск:"), this));
    search->addWidget(m_finder);
    search->addWidget(m_status);
    m_status->setMinimumWidth(220);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_text);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(splitter, 1);

    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        m_text->scrollToAnchor(item->data(0, Qt::UserRole).toString());
    });
    connect(m_finder, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    connect(m_finder, &QLineEdit::textEdited, m_status, &QLabel::clear);
}

bool HelpWindow::open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_text->setHtml(QStringLiteral("<p>Файл справки %1 не найден.</p>")
                            .arg(QFileInfo(path).fileName().toHtmlEscaped()));
        return false;
    }
    const QString html = QString::fromUtf8(file.readAll());
    m_text->setSearchPaths({QFileInfo(path).absolutePath()});
    m_text->setHtml(html);
    // The contents: every heading that carries an anchor.
    m_contents->clear();
    static const QRegularExpression heading(
        QStringLiteral("<h([12])[^>]*id=\"([^\"]+)\"[^>]*>(.*?)</h\\1>"),
        QRegularExpression::DotMatchesEverythingOption);
    QTreeWidgetItem* chapter = nullptr;
    for (auto it = heading.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        QString title = match.captured(3);
        title.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        auto* item = match.captured(1) == QLatin1String("1") || !chapter
                         ? new QTreeWidgetItem(m_contents)
                         : new QTreeWidgetItem(chapter);
        if (match.captured(1) == QLatin1String("1"))
            chapter = item;
        item->setText(0, title.simplified());
        item->setData(0, Qt::UserRole, match.captured(2));
    }
    m_contents->expandAll();
    m_text->moveCursor(QTextCursor::Start);
    return true;
}

bool HelpWindow::findNext()
{
    m_status->clear();
    const QString words = m_finder->text().trimmed();
    if (words.isEmpty())
        return false;
    if (m_text->find(words))
        return true;
    m_text->moveCursor(QTextCursor::Start);
    if (m_text->find(words))
        return true;
    m_status->setText(QStringLiteral("«%1» в справке не найдено").arg(words));
    return false;
}

} // namespace t7
