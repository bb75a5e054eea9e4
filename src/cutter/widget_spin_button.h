#pragma once
// A spin button: an upper and a lower arrow half that repeat their click
// while held down. GUI thread only.

#include <QWidget>

class QToolButton;

class TSpinButton : public QWidget {
    Q_OBJECT

public:
    explicit TSpinButton(QWidget* parent = nullptr);

    QToolButton* TopButton() const { return m_top; }
    QToolButton* BottomButton() const { return m_bottom; }
    // Lets go of a half held down, so it stops repeating.
    void Release();

signals:
    // Once per click and per repetition.
    void TopClick();
    void BottomClick();

private:
    QToolButton* m_top;
    QToolButton* m_bottom;
};
