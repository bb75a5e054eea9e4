#pragma once
// The cutter page's output group: where the cut file goes, its name, bit rate
// and format, and the button that starts the cut. The page owns the cut job;
// this group only asks for the cut and resolves the output path.
//
// Threads: GUI thread only.

#include <QGroupBox>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QToolButton;
class TBalloonHint;

class TOutputGroupFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit TOutputGroupFrame(QWidget* parent = nullptr);

    // The output path for a cut in format ("mp3" or "m4r", any case) of
    // sourceFile, after the messages, questions and save dialog it takes, or
    // "" when the user abandoned the cut. A typed name never resolves to the
    // source file itself. Throws AppError when the output goes next to the
    // source and sourceFile is empty or has no folder.
    std::string ResolveOutputPath(const std::string& format, const std::string& sourceFile) const;
    // cbBitrate's value in kbit/s; 128 when its text is not an integer.
    int SelectedBitrate() const;
    // Names the output after the source: "[铃]song.mp3" for /music/song.wma.
    void SetDefaultOutputName(const std::string& sourcePath);
    // Enables the group's controls while a source is loaded; the folder edit
    // then only while radioOutToUserDefine is checked.
    void EnableForSource(bool loaded);

signals:
    // The user asked for a cut in format "mp3" or "m4r".
    void cutRequested(const QString& format);

protected:
    // cbBitrate's pointer enter and leave.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectEvents();

    void btnExecuteClick();
    void miMp3Click();
    void miM4rClick();
    void radioOutAsSourceClick();
    void radioOutToUserDefineClick();
    void BrowseOutDir();
    void cbBitrateMouseEnter();
    void cbBitrateMouseLeave();

    QToolButton* btnExecute;
    QMenu* pMenuOutputFormat;
    QAction* miMp3;
    QAction* miM4r;
    QRadioButton* radioOutAsSource;
    QRadioButton* radioOutToUserDefine;
    QLineEdit* edtOutDir; // its browse button is the action m_browseOutDir, drawn inside it
    QAction* m_browseOutDir;
    QLabel* m_outFileNameLabel;
    QLineEdit* edtOutFileName;
    QLabel* m_bitrateLabel;
    QComboBox* cbBitrate;
    QLabel* m_kbpsLabel;
    TBalloonHint* Hint1;
};
