#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace typetoki {

void QtDialogs::message(QWidget *owner, const QString &title, const QString &text, Look look)
{
    QMessageBox box(look == Look::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok, owner);
    box.exec();
}

void QtDialogs::beep() { QApplication::beep(); }

FileDialogAnswer QtDialogs::openFile(QWidget *owner, const QString &filter, const QString &fileName)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The captions name their patterns already; Qt would show them twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filter));
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return {};
    return {FileDialogAnswer::Chosen, files.first()};
}

QString QtDialogs::saveFile(QWidget *owner, const QString &caption, const QString &proposed,
                            const QString &filter)
{
    return QFileDialog::getSaveFileName(owner, caption, proposed, filter);
}

Dialogs &SystemDialogs()
{
    static QtDialogs dialogs;
    return dialogs;
}

QStringList NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            patterns << (trimmed == u"*.*" ? QStringLiteral("*") : trimmed);
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

}  // namespace typetoki
