#pragma once

#include <QObject>
#include <QTest>

// The control of a window by its object name; the test stops when there is none.
template <typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child named %s", name);
    return found;
}
