#pragma once

#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

#include <functional>

// Runs writes on a thread of its own, one at a time and in order, so that
// the GUI thread never waits for a disk. Only the latest write counts: one
// handed in while another runs replaces any that still waits, since each
// carries the whole file.
class BackgroundWriter
{
public:
    using Job = std::function<void()>;

    BackgroundWriter();
    // Waits for the writes handed in.
    ~BackgroundWriter();

    void submit(Job job);
    // Blocks until every write handed in is done.
    void flush();

private:
    void run();

    QMutex m_mutex;
    QWaitCondition m_idle;
    Job m_pending;
    bool m_running = false;
    QThreadPool m_thread;
};
