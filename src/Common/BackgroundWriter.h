#pragma once

#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

#include <functional>

// Runs writes on a thread of its own, one at a time and in order, so that
// the GUI thread never waits for a disk. Only the latest write counts: one
// handed in while another runs replaces any that still waits, since each
// carries the whole file. The idle job runs on the writer's thread each
// time the last write handed in is done.
class BackgroundWriter
{
public:
    using Job = std::function<void()>;

    explicit BackgroundWriter(Job idle = {});
    // Waits for the writes handed in.
    ~BackgroundWriter();

    void submit(Job job);
    // Blocks until every write handed in is done.
    void flush();
    // Nothing waiting and nothing running.
    bool idle() const;

private:
    void run();

    Job m_onIdle;
    mutable QMutex m_mutex;
    QWaitCondition m_idle;
    Job m_pending;
    bool m_running = false;
    QThreadPool m_thread;
};
