#pragma once
// Names a freshly made widget or action where it is made, so tests and
// style sheets find controls by the names the forms give them.

#include <QString>

template <typename T> T* Named(T* object, const QString& name)
{
    object->setObjectName(name);
    return object;
}

template <typename T> T* Named(T* object, const char* name)
{
    return Named(object, QString::fromLatin1(name));
}
