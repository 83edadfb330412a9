#pragma once

#include <QObject>
#include <QVariantMap>

// The terminal UI's controller. It owns the complete table of configuration
// keys with their defaults, which main() hands to the configuration store.
class GUIManager : public QObject
{
    Q_OBJECT

public:
    static const QVariantMap Defaults;
};
