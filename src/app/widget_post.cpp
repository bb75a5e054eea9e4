#include "app/widget_post.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

PostToGui WidgetPost()
{
    return [](std::function<void()> task) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    };
}
