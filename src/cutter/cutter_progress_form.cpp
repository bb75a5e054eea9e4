#include "cutter/cutter_progress_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <algorithm>

TCutterProgressForm::TCutterProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
    , lbText(new QLabel(QStringLiteral("正在剪切，请稍等……"), this))
    , lbPercent(new QLabel(QStringLiteral("0%"), this))
    , Image1(new QLabel(this))
    , ProgressBar1(new QProgressBar(this))
{
    setWindowTitle(QStringLiteral("正在剪切"));
    setFixedSize(339, 153);
    setModal(false);

    lbText->setObjectName(QStringLiteral("lbText"));
    lbText->setGeometry(24, 32, 200, 20);
    lbPercent->setObjectName(QStringLiteral("lbPercent"));
    lbPercent->setGeometry(230, 32, 50, 20);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(282, 20, 38, 38);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MediaSeekForward).pixmap(38, 38));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(24, 88, 289, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    SetProgress(0);
}

void TCutterProgressForm::SetProgress(int percent)
{
    m_progress = std::clamp(percent, 0, 100);
    lbPercent->setText(QString::number(m_progress) + QLatin1Char('%'));
    ProgressBar1->setValue(m_progress);
}

void TCutterProgressForm::SetTexts(const QString& caption, const QString& text)
{
    setWindowTitle(caption);
    lbText->setText(text);
}

void TCutterProgressForm::ShowCentredOn(QWidget* parent)
{
    show();
    // Centred by the frame, which the window system gives it only once shown.
    if (parent) {
        QRect frame = frameGeometry();
        frame.moveCenter(parent->frameGeometry().center());
        move(frame.topLeft());
    }
    raise();
}

void TCutterProgressForm::reject()
{
}

void TCutterProgressForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
