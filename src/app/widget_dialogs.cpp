#include "app/widget_dialogs.h"

#include <QApplication>
#include <QMessageBox>

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

} // namespace

void WidgetDialogs::message(const std::string& text)
{
    show(ApplicationTitle, text, DialogIcon::None);
}

void WidgetDialogs::show(const std::string& caption, const std::string& text, DialogIcon icon)
{
    QMessageBox box(toQt(icon), QString::fromStdString(caption), QString::fromStdString(text),
        QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool WidgetDialogs::question(const std::string& caption, const std::string& text, bool defaultYes)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text),
        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
