#include "app/widget_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace {

QMessageBox::Icon toQt(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Error:
        return QMessageBox::Critical;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The program's texts break lines with a carriage return, which a message
// box would show as a blank.
QString BoxText(const std::string& text)
{
    return QString::fromStdString(text)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

void WidgetDialogs::message(const std::string& text)
{
    show(ApplicationTitle, text, DialogIcon::None);
}

void WidgetDialogs::show(const std::string& caption, const std::string& text, DialogIcon icon)
{
    QMessageBox box(toQt(icon), QString::fromStdString(caption), BoxText(text), QMessageBox::Ok,
        QApplication::activeWindow());
    box.exec();
}

bool WidgetDialogs::question(const std::string& caption, const std::string& text, bool defaultYes)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), BoxText(text),
        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::string WidgetDialogs::openFile(const std::string& title, const std::string& filter)
{
    const QString file = QFileDialog::getOpenFileName(
        QApplication::activeWindow(), QString::fromStdString(title), m_lastFolder, QtFileFilter(filter));
    if (file.isEmpty())
        return {};
    m_lastFolder = QFileInfo(file).absolutePath();
    return file.toStdString();
}

std::string WidgetDialogs::saveFile(const SaveFileRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QtFileFilter(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    dialog.setDirectory(request.folder.empty() ? m_lastFolder : QString::fromStdString(request.folder));
    dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().constFirst();
    m_lastFolder = QFileInfo(file).absolutePath();
    return file.toStdString();
}

std::string WidgetDialogs::chooseFolder(const std::string& text)
{
    return QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString::fromStdString(text), m_lastFolder)
        .toStdString();
}

QString QtFileFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns
            = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        const QString bracketed = QLatin1Char('(') + patterns + QLatin1Char(')');
        entries << (parts[i].endsWith(bracketed) ? parts[i] : parts[i] + QLatin1Char(' ') + bracketed);
    }
    return entries.join(QStringLiteral(";;"));
}
