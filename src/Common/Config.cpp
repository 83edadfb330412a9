#include "Config.h"

#include "Secrets.h"
#include "SettingsFile.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace {

// Values read from the file are text while defaults and values set at run
// time are typed, so "2" and 2 (or "true" and true) must count as the same
// setting. QVariant converts the right operand to the left one's type, hence
// the check in both directions: "yes" is not the same setting as true.
bool sameValue(const QVariant &a, const QVariant &b)
{
    return a == b && b == a;
}

} // namespace

Config::Config(const QString &filename, const QVariantMap &defaults, QObject *parent)
    : QObject(parent)
    , m_filename(filename)
    , m_settings(defaults)
    , m_defaults(defaults)
    , m_watch(this)
{
    if (!QFileInfo::exists(m_filename)) {
        qWarning().noquote().nospace() << "[Config] Creating default config file : " << " " << m_filename;
        save();
    }
    load();
    connect(&m_watch, &QFileSystemWatcher::fileChanged, this, &Config::onFileChanged);
    m_watch.addPath(m_filename);
}

QVariant Config::get(const QString &key) const
{
    const auto overridden = m_overrides.constFind(key);
    if (overridden != m_overrides.constEnd())
        return overridden.value();
    if (m_defaults.contains(key))
        return m_settings.contains(key) ? m_settings.value(key) : m_defaults.value(key);
    return m_settings.value(key);
}

void Config::set(const QString &key, const QVariant &value)
{
    const auto current = m_settings.constFind(key);
    if (current != m_settings.constEnd() && sameValue(current.value(), value))
        return;

    m_overrides.remove(key);
    m_settings.insert(key, value);
    emit configChanged(QVariantMap { { key, value } });
    save();
}

QStringList Config::keys() const
{
    return m_settings.keys();
}

QVariantMap Config::defaults() const
{
    QVariantMap result;
    for (const QString &key : m_defaults.uniqueKeys())
        result.insert(key, m_defaults.value(key));
    return result;
}

QString Config::filename() const
{
    return m_filename;
}

void Config::addOverrides(const QVariantMap &overrides)
{
    for (auto it = overrides.constBegin(); it != overrides.constEnd(); ++it)
        m_overrides.insert(it.key(), it.value());
}

void Config::addDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void Config::load()
{
    const QVariantMap changes = readFile();
    if (!changes.isEmpty())
        emit configChanged(changes);
}

void Config::save()
{
    // Our own write must not come back as an outside edit.
    m_watch.removePath(m_filename);
    const bool written = SettingsFile::write(m_filename, QSettings::NativeFormat, [this](QSettings &settings) {
        for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it)
            settings.setValue(it.key(), it.value());
    });
    // The change holds for this run; a technician must know it will not
    // survive a restart.
    if (!written)
        qWarning().noquote().nospace() << "[Config] WARN: Cannot write the settings file " << m_filename;
    m_watch.addPath(m_filename);
}

void Config::print() const
{
    const QString dashes = QStringLiteral("------------------------------------------------------------");
    int width = 0;
    for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it)
        width = qMax(width, it.key().length());

    qInfo().noquote().nospace() << "[Config] " << dashes;
    qInfo().noquote().nospace() << "[Config] " << " SETTINGS (" << " " << m_filename << " " << ")";
    qInfo().noquote().nospace() << "[Config] " << dashes;
    for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it) {
        QString value = get(it.key()).toString();
        // The log may end up in the system log: never show a password or the PIN.
        if (manager::isSecretKey(it.key()) && !value.isEmpty())
            value = QStringLiteral("********");
        qInfo().noquote().nospace() << "[Config] " << " " << it.key().leftJustified(width, QLatin1Char(' ')) << " : " << value;
    }
    qInfo().noquote().nospace() << "[Config] " << dashes;
}

QJsonObject Config::toJson() const
{
    QMap<QString, QVariantMap> groups;
    for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it) {
        const QStringList parts = it.key().split(QLatin1Char('/'));
        // Only group/name keys have a JSON form ([General] entries have none).
        if (parts.size() != 2)
            continue;
        groups[parts.at(0)].insert(parts.at(1), it.value());
    }

    QJsonObject result;
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it)
        result.insert(it.key(), QJsonObject::fromVariantMap(it.value()));
    return result;
}

Config &Config::fromJson(const QJsonObject &object)
{
    QVariantMap incoming;
    for (auto group = object.constBegin(); group != object.constEnd(); ++group) {
        if (!group.value().isObject())
            continue;
        const QJsonObject names = group.value().toObject();
        for (auto name = names.constBegin(); name != names.constEnd(); ++name)
            incoming.insert(group.key() + QLatin1Char('/') + name.key(), name.value().toVariant());
    }

    QVariantMap changes;
    for (auto it = incoming.constBegin(); it != incoming.constEnd(); ++it) {
        const auto current = m_settings.find(it.key());
        // Only known settings can be changed this way, never added.
        if (current == m_settings.end() || sameValue(current.value(), it.value()))
            continue;
        current.value() = it.value();
        changes.insert(it.key(), it.value());
    }

    if (!changes.isEmpty()) {
        save();
        emit configChanged(changes);
    }
    return *this;
}

void Config::onFileChanged(const QString &path)
{
    // Watch the path afresh before reading: an editor that replaces the file
    // leaves the watch on the old file, and an edit made after this point
    // must still be reported.
    m_watch.removePath(path);
    m_watch.addPath(path);

    const QVariantMap changes = readFile();
    if (!changes.isEmpty()) {
        emit configFileChanged();
        emit configChanged(changes);
    }
}

// Overlays the file's values on m_settings and returns those that changed.
// An unreadable file yields no keys, so nothing changes.
QVariantMap Config::readFile()
{
    QVariantMap fileValues;
    SettingsFile::read(m_filename, QSettings::NativeFormat, [&fileValues](QSettings &settings) {
        const QStringList fileKeys = settings.allKeys();
        for (const QString &key : fileKeys)
            fileValues.insert(key, settings.value(key));
    });

    QVariantMap changes;
    for (auto it = fileValues.constBegin(); it != fileValues.constEnd(); ++it) {
        auto current = m_settings.find(it.key());
        if (current == m_settings.end())
            current = m_settings.insert(it.key(), QVariant());
        if (sameValue(it.value(), current.value()))
            continue;
        current.value() = it.value();
        changes.insert(it.key(), it.value());
    }
    return changes;
}
