#pragma once

#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QMultiMap>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// The program's settings: defaults, overlaid by the settings file (INI),
// overlaid by command-line overrides. Keys are "group/name". The file is kept
// in step with the settings and watched for outside edits.
class Config : public QObject
{
    Q_OBJECT

public:
    Config(const QString &filename, const QVariantMap &defaults, QObject *parent = nullptr);

    QVariant get(const QString &key) const;
    void set(const QString &key, const QVariant &value);
    QStringList keys() const;
    QVariantMap defaults() const;
    QString filename() const;

    void addOverrides(const QVariantMap &overrides);
    void addDefaults(const QVariantMap &defaults);

    void load();
    void save();
    void print() const;

    QJsonObject toJson() const;
    Config &fromJson(const QJsonObject &object);

signals:
    void configFileChanged();
    void configChanged(const QVariantMap &changes);

private slots:
    void onFileChanged(const QString &path);

private:
    QVariantMap readFile();

    QString m_filename;
    QVariantMap m_settings;
    // A key added twice keeps both entries; value() sees the latest one.
    QMultiMap<QString, QVariant> m_defaults;
    QMultiMap<QString, QVariant> m_overrides;
    QFileSystemWatcher m_watch;
};
