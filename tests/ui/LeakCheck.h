#pragma once

#include <QApplication>
#include <QStringList>
#include <QWidget>

// Every test must leave no top-level window behind.
inline QStringList leakedTopLevels() {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        names << (QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(':') +
                  w->objectName());
    }
    return names;
}
