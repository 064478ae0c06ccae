#include "ui/GuiBridge.h"

#include <utility>

void TGuiBridge::Post(std::function<void()> task)
{
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}
