#pragma once

#include <QObject>

namespace t7 {

// Gives a window's control its name, by which tests and the layout find it.
template <typename Object> Object* named(Object* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

} // namespace t7
