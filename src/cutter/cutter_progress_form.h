#pragma once
// The progress window of a cut or a join: stays on top, has no close button
// and is not modal, so the job's loop keeps running while it shows. GUI
// thread only.

#include <QDialog>

class QLabel;
class QProgressBar;

class TCutterProgressForm : public QDialog {
    Q_OBJECT

public:
    explicit TCutterProgressForm(QWidget* parent = nullptr);

    // Clamps to 0..100 and shows it as "N%" and on the bar.
    void SetProgress(int percent);
    int GetProgress() const { return m_progress; }
    void SetTexts(const QString& caption, const QString& text);
    // Shows the window, not modal, centred on parent (or where it is without one).
    void ShowCentredOn(QWidget* parent);

    void reject() override; // Escape must not hide it while a job runs

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* lbText;
    QLabel* lbPercent;
    QLabel* Image1;
    QProgressBar* ProgressBar1;
    int m_progress = 0;
};
