#include "LTGXTerminalConfig.h"

#include "ServiceDispatcher.h"

LTGXTerminalConfig::LTGXTerminalConfig(QObject *parent)
    : QObject(parent)
{
}

void LTGXTerminalConfig::setObuUrl(const QUrl &obuUrl)
{
    if (manager::assignIfChanged(m_obuUrl, obuUrl))
        emit obuUrlChanged();
}

void LTGXTerminalConfig::setPassbackSecs(int passbackSecs)
{
    if (manager::assignIfChanged(m_passbackSecs, passbackSecs))
        emit passbackSecsChanged();
}

void LTGXTerminalConfig::setPassbackQrEnabled(bool passbackQrEnabled)
{
    if (manager::assignIfChanged(m_passbackQrEnabled, passbackQrEnabled))
        emit passbackQrEnabledChanged();
}
