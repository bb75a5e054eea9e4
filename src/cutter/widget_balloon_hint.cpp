#include "cutter/widget_balloon_hint.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

constexpr int TailHeight = 10;
constexpr int TailLeft = 16; // from the hint's left edge to the tail's tip
constexpr int TailWidth = 12;
constexpr qreal CornerRadius = 6;

} // namespace

TBalloonHint::TBalloonHint(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
    , m_icon(new QLabel(this))
    , m_header(new QLabel(this))
    , m_text(new QLabel(this))
    , m_hideTimer(new QTimer(this))
{
    setForegroundRole(QPalette::ToolTipText);
    QFont bold = m_header->font();
    bold.setBold(true);
    m_header->setFont(bold);
    m_header->setTextFormat(Qt::PlainText);
    m_text->setTextFormat(Qt::PlainText);
    m_icon->setAlignment(Qt::AlignTop);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, TailHeight + 8, 12, 10);
    layout->setHorizontalSpacing(8);
    layout->addWidget(m_icon, 0, 0, 2, 1);
    layout->addWidget(m_header, 0, 1);
    layout->addWidget(m_text, 1, 1);
    m_hideTimer->setObjectName(QStringLiteral("timerHide"));
    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, &TBalloonHint::HideHint);
}

void TBalloonHint::ShowHint(
    QWidget* control, QStyle::StandardPixmap icon, const QString& header, const QString& text, int displayMs)
{
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    m_icon->setPixmap(style()->standardIcon(icon).pixmap(iconSize, iconSize));
    m_header->setText(header);
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_text->setText(lines);
    adjustSize();
    move(control->mapToGlobal(QPoint(control->width() / 2, control->height())) - QPoint(TailLeft, 0));
    show();
    m_hideTimer->start(displayMs);
}

void TBalloonHint::HideHint()
{
    m_hideTimer->stop();
    hide();
}

QString TBalloonHint::Header() const
{
    return m_header->text();
}

QString TBalloonHint::Text() const
{
    return m_text->text();
}

void TBalloonHint::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawPath(Outline().translated(0.5, 0.5));
}

void TBalloonHint::resizeEvent(QResizeEvent* event)
{
    // Shaped by a mask rather than a translucent background, which needs a
    // compositing window manager.
    // The outline's pen reaches half a pixel beyond the shape on the right and bottom.
    const QPolygon shape = Outline().toFillPolygon().toPolygon();
    setMask(QRegion(shape).united(QRegion(shape.translated(1, 1))));
    QWidget::resizeEvent(event);
}

QPainterPath TBalloonHint::Outline() const
{
    const QRectF body(0, TailHeight, width() - 1, height() - TailHeight - 1);
    QPainterPath path;
    path.addRoundedRect(body, CornerRadius, CornerRadius);
    QPainterPath tail;
    tail.moveTo(TailLeft - TailWidth / 2.0, TailHeight + 1);
    tail.lineTo(TailLeft, 0);
    tail.lineTo(TailLeft + TailWidth / 2.0, TailHeight + 1);
    tail.closeSubpath();
    return path.united(tail);
}
