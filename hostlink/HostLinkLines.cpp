#include "HostLinkLines.h"

HostLinkLines::HostLinkLines(const QString &logPrefix)
    : m_prefix(logPrefix)
{
}

HostLinkLines::~HostLinkLines()
{
    destroy();
}

HostLinkSerialLink *HostLinkLines::serial()
{
    if (!m_serial) {
        m_serial = new HostLinkSerialLink(&m_owner);
        m_serial->setLogPrefix(m_prefix);
    }
    return m_serial;
}

HostLinkTcpLink *HostLinkLines::tcp()
{
    if (!m_tcp) {
        m_tcp = new HostLinkTcpLink(&m_owner);
        m_tcp->setLogPrefix(m_prefix);
    }
    return m_tcp;
}

int HostLinkLines::openSerial(const HostLinkConnectionText::Serial &settings)
{
    serial()->setSettings(settings);
    const int result = m_serial->open();
    if (result != 0) {
        m_error = m_serial->lastError();
        return result;
    }
    if (m_medium == Medium::Tcp)
        m_tcp->abort();
    m_medium = Medium::Serial;
    return 0;
}

int HostLinkLines::openTcp(const HostLinkConnectionText::Tcp &settings)
{
    tcp()->setSettings(settings);
    const int result = m_tcp->open();
    if (result != 0) {
        m_error = m_tcp->lastError();
        return result;
    }
    if (m_medium == Medium::Serial)
        m_serial->close();
    m_medium = Medium::Tcp;
    return 0;
}

int HostLinkLines::disconnect()
{
    switch (m_medium) {
    case Medium::Tcp: return m_tcp->close();
    case Medium::Serial: return m_serial->close();
    case Medium::None: break;
    }
    return 1;
}

int HostLinkLines::destroy()
{
    if (!m_serial && !m_tcp)
        return 1;
    if (m_serial)
        m_serial->close();
    if (m_tcp && m_tcp->isOpen())
        m_tcp->close();
    delete m_serial;
    delete m_tcp;
    m_serial = nullptr;
    m_tcp = nullptr;
    m_medium = Medium::None;
    return 0;
}

HostLinkLink *HostLinkLines::active() const
{
    switch (m_medium) {
    case Medium::Tcp: return m_tcp;
    case Medium::Serial: return m_serial;
    case Medium::None: break;
    }
    return nullptr;
}

bool HostLinkLines::isUp() const
{
    const HostLinkLink *line = active();
    return line && line->isOpen();
}

bool HostLinkLines::readyWithin(int timeoutMs)
{
    if (isUp() || m_medium != Medium::Tcp)
        return isUp();
    return m_tcp->reopen(timeoutMs);
}

QString HostLinkLines::peerText() const
{
    return m_medium == Medium::Tcp ? m_tcp->peerText() : QStringLiteral(":0");
}
