#include "ui/widget_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTreeView>

namespace t7 {

namespace {

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

QString withSuffix(const QString& path, const QString& suffix)
{
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

// The extension of a filter entry "Книга Excel (*.xlsx)"; empty when it has none.
QString suffixOf(const QString& filter)
{
    const qsizetype dot = filter.indexOf(QStringLiteral("*."));
    if (dot < 0)
        return {};
    QString suffix = filter.mid(dot + 2);
    const qsizetype end = suffix.indexOf(QRegularExpression(QStringLiteral("[ ;)]")));
    return end < 0 ? suffix : suffix.left(end);
}

// Wide enough that a file's name, size, kind and date all show in full.
void sizeFileDialog(QFileDialog& dialog)
{
    dialog.resize(900, 540);
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < 4; ++column)
            view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

} // namespace

QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts[i] + QStringLiteral(" (") +
                       QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')'));
    return filters.join(QStringLiteral(";;"));
}

void WidgetPrompts::message(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

Answer WidgetPrompts::question(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString WidgetPrompts::saveFileName(const FileDialogSpec& spec)
{
    QFileDialog dialog(m_parent, QString(), spec.folder, qtFilter(spec.filter));
    sizeFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    // The extension follows the chosen kind of file.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) noexcept {
                         const QString suffix = suffixOf(filter);
                         if (!suffix.isEmpty())
                             dialog.setDefaultSuffix(suffix);
                     });
    if (!spec.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return withSuffix(dialog.selectedFiles().constFirst(), dialog.defaultSuffix());
}

QString WidgetPrompts::openFileName(const FileDialogSpec& spec)
{
    QFileDialog dialog(m_parent, QString(), spec.folder, qtFilter(spec.filter));
    sizeFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return withSuffix(dialog.selectedFiles().constFirst(), spec.defaultSuffix);
}

std::optional<quint32> WidgetPrompts::chooseColor(quint32 initial)
{
    const QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF),
                       int((initial >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(start, m_parent);
    if (!chosen.isValid())
        return std::nullopt;
    return quint32(chosen.red()) | quint32(chosen.green()) << 8 | quint32(chosen.blue()) << 16;
}

} // namespace t7
