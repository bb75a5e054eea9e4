#include "cutter/widget_cutter_images.h"

#include <QPainter>
#include <QPixmap>
#include <functional>

namespace {

QPixmap DrawnImage(int width, int height, const std::function<void(QPainter&)>& draw)
{
    QPixmap image(width, height);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

} // namespace

QIcon SourcePlayImage(int index)
{
    return DrawnImage(12, 12, [index](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));
        if (index == 0)
            p.drawPolygon(QPolygonF({ QPointF(2, 1), QPointF(11, 6), QPointF(2, 11) }));
        else {
            p.drawRect(QRectF(2, 1, 3, 10));
            p.drawRect(QRectF(7, 1, 3, 10));
        }
    });
}

QIcon PointImage(bool start)
{
    return DrawnImage(16, 16, [start](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 170));
        if (start) {
            p.drawRect(QRectF(2, 2, 2, 12));
            p.drawPolygon(QPolygonF({ QPointF(6, 3), QPointF(14, 8), QPointF(6, 13) }));
        } else {
            p.drawRect(QRectF(12, 2, 2, 12));
            p.drawPolygon(QPolygonF({ QPointF(10, 3), QPointF(2, 8), QPointF(10, 13) }));
        }
    });
}

QIcon RecordImage()
{
    return DrawnImage(16, 16, [](QPainter& p) {
        p.setPen(QColor(150, 20, 20));
        p.setBrush(QColor(220, 40, 40));
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    });
}
