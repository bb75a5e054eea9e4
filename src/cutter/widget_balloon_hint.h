#pragma once
// A balloon hint: a small frameless window below a control, its tail pointing
// at the control, with an icon, a bold header and a text. It hides itself
// after the display time. GUI thread only.

#include <QPainterPath>
#include <QStyle>
#include <QWidget>

class QLabel;
class QTimer;

class TBalloonHint : public QWidget {
    Q_OBJECT

public:
    // parent owns the hint; the hint is its own window.
    explicit TBalloonHint(QWidget* parent = nullptr);

    // Shows the hint at control for displayMs milliseconds, replacing whatever
    // it showed. Carriage returns in text break lines.
    void ShowHint(QWidget* control, QStyle::StandardPixmap icon, const QString& header, const QString& text,
        int displayMs);
    void HideHint();

    QString Header() const;
    // As displayed: line breaks as "\n".
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPainterPath Outline() const;

    QLabel* m_icon;
    QLabel* m_header;
    QLabel* m_text;
    QTimer* m_hideTimer;
};
