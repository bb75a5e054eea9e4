#include "cutter/widget_spin_button.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* makeHalf(Qt::ArrowType arrow, QWidget* parent)
{
    auto* half = new QToolButton(parent);
    half->setArrowType(arrow);
    half->setAutoRepeat(true);
    half->setFocusPolicy(Qt::NoFocus);
    half->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return half;
}

} // namespace

TSpinButton::TSpinButton(QWidget* parent)
    : QWidget(parent)
    , m_top(makeHalf(Qt::UpArrow, this))
    , m_bottom(makeHalf(Qt::DownArrow, this))
{
    m_top->setObjectName(QStringLiteral("Top"));
    m_bottom->setObjectName(QStringLiteral("Bottom"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_top);
    layout->addWidget(m_bottom);
    connect(m_top, &QToolButton::clicked, this, &TSpinButton::TopClick);
    connect(m_bottom, &QToolButton::clicked, this, &TSpinButton::BottomClick);
}

void TSpinButton::Release()
{
    m_top->setDown(false);
    m_bottom->setDown(false);
}
