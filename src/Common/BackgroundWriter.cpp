#include "BackgroundWriter.h"

#include <QMutexLocker>

BackgroundWriter::BackgroundWriter()
{
    m_thread.setMaxThreadCount(1);
}

BackgroundWriter::~BackgroundWriter()
{
    flush();
    m_thread.waitForDone();
}

void BackgroundWriter::submit(Job job)
{
    QMutexLocker locker(&m_mutex);
    m_pending = std::move(job);
    if (m_running)
        return;
    m_running = true;
    m_thread.start([this] { run(); });
}

void BackgroundWriter::flush()
{
    QMutexLocker locker(&m_mutex);
    while (m_running)
        m_idle.wait(&m_mutex);
}

void BackgroundWriter::run()
{
    for (;;) {
        Job job;
        {
            QMutexLocker locker(&m_mutex);
            if (!m_pending) {
                m_running = false;
                m_idle.wakeAll();
                break;
            }
            job = std::move(m_pending);
            m_pending = nullptr;
        }
        job();
    }
}
