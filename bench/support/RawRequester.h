#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

struct mosquitto;

// The floor the benchmarks compare with: a plain libmosquitto client on its
// own network thread that publishes "bench/raw/request/<i>" with QoS 1 and
// waits for the echo peer's answer on "bench/raw/response/<i>".
class RawRequester
{
public:
    RawRequester() = default;
    ~RawRequester();
    RawRequester(const RawRequester &) = delete;
    RawRequester &operator=(const RawRequester &) = delete;

    bool start(quint16 port);
    // One request, timed until its answer is in: microseconds, or -1.
    double call(int i);

private:
    void answered();
    template<typename F>
    bool waitFor(F send);

    mosquitto *m_mosq = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_answered = false;
};
