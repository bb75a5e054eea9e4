#include "cutter/output_group_frame.h"

#include "audio/app_error.h"
#include "audio/dialogs_service.h"
#include "audio/encoder_command.h"
#include "audio/file_names.h"
#include "controls/object_name.h"
#include "cutter/widget_balloon_hint.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <filesystem>

namespace {

// Without leading and trailing blanks and control characters.
std::string Trim(const std::string& text)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string WithSeparator(const std::string& folder)
{
    return folder.ends_with('/') ? folder : folder + '/';
}

} // namespace

TOutputGroupFrame::TOutputGroupFrame(QWidget* parent)
    : QGroupBox(QStringLiteral("输出"), parent)
{
    CreateControls();
    ConnectEvents();
}

void TOutputGroupFrame::CreateControls()
{
    setObjectName(QStringLiteral("gboxOut"));
    resize(440, 84);

    radioOutAsSource
        = Named(new QRadioButton(QStringLiteral("输出到源文件所在的目录"), this), "radioOutAsSource");
    radioOutAsSource->setGeometry(10, 22, 164, 24);
    radioOutAsSource->setChecked(true);
    radioOutToUserDefine = Named(new QRadioButton(QStringLiteral("指定目录"), this), "radioOutToUserDefine");
    radioOutToUserDefine->setGeometry(176, 22, 80, 24);
    edtOutDir = Named(new QLineEdit(this), "edtOutDir");
    edtOutDir->setGeometry(258, 22, 172, 24);
    edtOutDir->setReadOnly(true);
    edtOutDir->setEnabled(false);
    m_browseOutDir
        = edtOutDir->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);

    m_outFileNameLabel = new QLabel(QStringLiteral("输出文件名："), this);
    m_outFileNameLabel->setGeometry(10, 52, 72, 24);
    edtOutFileName = Named(new QLineEdit(this), "edtOutFileName");
    edtOutFileName->setGeometry(82, 52, 122, 24);
    m_outFileNameLabel->setBuddy(edtOutFileName);
    m_bitrateLabel = new QLabel(QStringLiteral("比特率："), this);
    m_bitrateLabel->setGeometry(210, 52, 48, 24);
    cbBitrate = Named(new QComboBox(this), "cbBitrate");
    cbBitrate->setGeometry(258, 52, 58, 24);
    for (const char* kbps :
        { "32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320" })
        cbBitrate->addItem(QString::fromLatin1(kbps));
    cbBitrate->setCurrentText(QStringLiteral("128"));
    m_bitrateLabel->setBuddy(cbBitrate);
    m_kbpsLabel = new QLabel(QStringLiteral("KBps"), this);
    m_kbpsLabel->setGeometry(318, 52, 32, 24);

    btnExecute = Named(new QToolButton(this), "btnExecute");
    btnExecute->setGeometry(350, 50, 80, 28);
    btnExecute->setText(QStringLiteral("开始剪切"));
    btnExecute->setPopupMode(QToolButton::MenuButtonPopup);
    pMenuOutputFormat = Named(new QMenu(this), "pMenuOutputFormat");
    miMp3 = Named(pMenuOutputFormat->addAction(QStringLiteral("Mp3")), "miMp3");
    miM4r = Named(pMenuOutputFormat->addAction(QStringLiteral("m4r (iPhone铃声)")), "miM4r");
    btnExecute->setMenu(pMenuOutputFormat);

    Hint1 = Named(new TBalloonHint(this), "Hint1");
}

void TOutputGroupFrame::ConnectEvents()
{
    connect(btnExecute, &QToolButton::clicked, this, &TOutputGroupFrame::btnExecuteClick);
    connect(miMp3, &QAction::triggered, this, &TOutputGroupFrame::miMp3Click);
    connect(miM4r, &QAction::triggered, this, &TOutputGroupFrame::miM4rClick);
    connect(radioOutAsSource, &QRadioButton::clicked, this, &TOutputGroupFrame::radioOutAsSourceClick);
    connect(
        radioOutToUserDefine, &QRadioButton::clicked, this, &TOutputGroupFrame::radioOutToUserDefineClick);
    connect(m_browseOutDir, &QAction::triggered, this, &TOutputGroupFrame::BrowseOutDir);
    cbBitrate->installEventFilter(this);
}

std::string TOutputGroupFrame::ResolveOutputPath(
    const std::string& format, const std::string& sourceFile) const
{
    const bool m4r = IsM4r(format);
    std::string name = edtOutFileName->text().toStdString();
    if (!Trim(name).empty() && m4r)
        name = ChangeFileExt(name, ".m4r");
    SaveFileRequest request;
    request.title = "请指定输出文件的存放位置和文件名";
    request.filter = "Mp3 files (*.mp3)|*.mp3|iPhone 铃声 (*.m4r)|*.m4r";
    request.defaultExt = m4r ? "m4r" : "mp3";

    std::string folder;
    if (radioOutAsSource->isChecked()) {
        if (sourceFile.empty())
            throw AppError("系统异常，源文件为空。");
        folder = std::filesystem::path(sourceFile).parent_path().string();
        if (folder.empty())
            throw AppError("系统异常，无法解析目录名。请直接指定输出目录。");
    } else {
        folder = edtOutDir->text().toStdString();
        if (folder.empty()) {
            Dialogs().message("请指定输出文件的存放目录");
            request.fileName = Trim(name);
            return Dialogs().saveFile(request);
        }
    }

    const std::string trimmed = Trim(name);
    if (trimmed.empty()) {
        request.folder = WithSeparator(folder);
        return Dialogs().saveFile(request);
    }
    if (!IsValidFileName(trimmed)) {
        Dialogs().message("输出文件名不能包含如下字符：\r \\ / : * ? \" < > |");
        return {};
    }
    const std::string full = WithSeparator(folder) + trimmed;
    // The cut reads the source while it writes the output: the same file would be destroyed.
    if (IsSameFile(full, sourceFile)) {
        Dialogs().message("输出文件不能是源文件本身，请另选输出文件。");
        return {};
    }
    std::error_code error;
    if (std::filesystem::exists(full, error)
        && !Dialogs().question("目标文件已经存在", "文件“" + trimmed + "”已经存在，是否覆盖？", false))
        return {};
    return full;
}

int TOutputGroupFrame::SelectedBitrate() const
{
    bool ok = false;
    const int kbps = cbBitrate->currentText().toInt(&ok);
    return ok ? kbps : 128;
}

void TOutputGroupFrame::SetDefaultOutputName(const std::string& sourcePath)
{
    const std::string fileName = std::filesystem::path(sourcePath).filename().string();
    edtOutFileName->setText(
        fileName.empty() ? QString() : QString::fromStdString("[铃]" + ChangeFileExt(fileName, ".mp3")));
}

void TOutputGroupFrame::EnableForSource(bool loaded)
{
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!control->isWindow())
            control->setEnabled(loaded);
    if (loaded)
        edtOutDir->setEnabled(radioOutToUserDefine->isChecked());
}

bool TOutputGroupFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cbBitrate) {
        if (event->type() == QEvent::Enter)
            cbBitrateMouseEnter();
        else if (event->type() == QEvent::Leave)
            cbBitrateMouseLeave();
    }
    return QGroupBox::eventFilter(watched, event);
}

void TOutputGroupFrame::btnExecuteClick()
{
    emit cutRequested(QStringLiteral("mp3"));
}

void TOutputGroupFrame::miMp3Click()
{
    emit cutRequested(QStringLiteral("mp3"));
}

void TOutputGroupFrame::miM4rClick()
{
    emit cutRequested(QStringLiteral("m4r"));
}

void TOutputGroupFrame::radioOutAsSourceClick()
{
    edtOutDir->setEnabled(false);
}

void TOutputGroupFrame::radioOutToUserDefineClick()
{
    edtOutDir->setEnabled(true);
}

void TOutputGroupFrame::BrowseOutDir()
{
    const std::string folder = Dialogs().chooseFolder("请选择剪切文件的存放目录。");
    if (!folder.empty())
        edtOutDir->setText(QString::fromStdString(folder));
}

void TOutputGroupFrame::cbBitrateMouseEnter()
{
    if (cbBitrate->view()->isVisible())
        return;
    Hint1->ShowHint(cbBitrate, QStyle::SP_MessageBoxInformation, QStringLiteral("比特率"),
        QStringLiteral("数值越大音质越好，生成的文件也越大；\r\r反之则音质较差，文件较小。"), 8000);
}

void TOutputGroupFrame::cbBitrateMouseLeave()
{
    Hint1->HideHint();
}
