#include "Resources.h"

#include <QDir>

void Resources::init()
{
    Q_INIT_RESOURCE(fonts);
    Q_INIT_RESOURCE(pictures);
    Q_INIT_RESOURCE(qml);
    Q_INIT_RESOURCE(translations);
}
