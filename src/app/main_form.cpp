#include "app/main_form.h"

#include "app/widget_error_report.h"
#include "app/widget_help_text.h"
#include "app/widget_post.h"
#include "audio/dialogs_service.h"
#include "cutter/cutter_frame.h"
#include "effects/equalizer_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

namespace {

// The first dropped local file that exists, or "".
QString DroppedFile(const QMimeData* data)
{
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return url.toLocalFile();
    }
    return {};
}

QWidget* AboutPage()
{
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("软件信息"), page);
    group->setObjectName(QStringLiteral("gboxAbout"));
    auto* name = new QLabel(QString::fromLatin1(ApplicationTitle), group);
    QFont large = name->font();
    large.setPixelSize(20);
    large.setBold(true);
    name->setFont(large);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(name);
    groupLayout->addWidget(new QLabel(QStringLiteral("版本：") + QString::fromLatin1(ProgramVersion), group));
    groupLayout->addWidget(new QLabel(QStringLiteral("手机铃声制作工具：剪切、合并、录音"), group));
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(group);
    pageLayout->addStretch();
    return page;
}

} // namespace

TMainForm::TMainForm(TCutterProgressForm& progressForm)
    : QWidget(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_cutHost(*this, progressForm)
{
    setObjectName(QStringLiteral("MainForm"));
    QFont font;
    font.setFamilies({ QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Droid Sans Fallback") });
    font.setPixelSize(12);
    setFont(font);
    setAcceptDrops(true);
    CreatePages();
    setFixedSize(JvPageControl1->width() + 8, JvPageControl1->height() + 8);
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
    FormCreate();
}

void TMainForm::CreatePages()
{
    JvPageControl1 = new QTabWidget(this);
    JvPageControl1->setObjectName(QStringLiteral("JvPageControl1"));
    JvPageControl1->setGeometry(4, 4, 456, 465);
    JvPageControl1->setIconSize(QSize(24, 24));

    TabSheet1 = new QWidget;
    CutterFrame1 = new TCutterFrame(TabSheet1);
    CutterFrame1->setObjectName(QStringLiteral("CutterFrame1"));
    // The joiner page comes with the joiner.
    TabSheet4 = new QWidget;
    TabSheet2 = new QWidget;
    Memo1 = new QPlainTextEdit(HelpText(), TabSheet2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette face = Memo1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    Memo1->setPalette(face);
    auto* helpLayout = new QVBoxLayout(TabSheet2);
    helpLayout->setContentsMargins(0, 0, 0, 0);
    helpLayout->addWidget(Memo1);
    TabSheet3 = AboutPage();

    const auto icon = [this](QStyle::StandardPixmap pixmap) { return style()->standardIcon(pixmap); };
    JvPageControl1->addTab(TabSheet1, icon(QStyle::SP_MediaSeekForward), QStringLiteral("剪切"));
    JvPageControl1->addTab(TabSheet4, icon(QStyle::SP_FileDialogDetailedView), QStringLiteral("合并"));
    JvPageControl1->addTab(TabSheet2, icon(QStyle::SP_DialogHelpButton), QStringLiteral("使用帮助"));
    JvPageControl1->addTab(TabSheet3, icon(QStyle::SP_MessageBoxInformation), QStringLiteral("关于"));
    JvPageControl1->setCurrentIndex(0);
}

void TMainForm::FormCreate()
{
    try {
        CutterFrame1->InitFrame(m_cutHost, WidgetPost());
        m_initialised = true;
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
    }
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_initialised) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        return;
    }
    setWindowTitle(
        QString::fromLatin1(ApplicationTitle) + QLatin1Char(' ') + QString::fromLatin1(ProgramVersion));
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Disabled while a cut runs on the players' audio output; the window
    // manager would still close it.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    if (m_initialised) {
        CutterFrame1->DoneFrame();
        hide();
    }
    if (m_equalizer)
        m_equalizer->hide();
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty() || !m_initialised)
        return;
    event->acceptProposedAction();
    JvPageControl1->setCurrentWidget(TabSheet1);
    CutterFrame1->LoadSourceFile(file.toStdString());
}

void TMainForm::SetEqualizerWindow(TEqualizerForm* window)
{
    m_equalizer = window;
    m_cutHost.SetEqualizerWindow(window);
    CutterFrame1->SetEqualizerWindow(window);
}
