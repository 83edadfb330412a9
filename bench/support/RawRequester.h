#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>

struct mosquitto;

// The floor the benchmarks compare with: a plain libmosquitto client on its
// own network thread that publishes "bench/raw/request/<i>" with QoS 1 and
// waits for the echo peer's answer on "bench/raw/response/<i>". With another
// answer filter it times any message against the answer it causes.
class RawRequester
{
public:
    RawRequester() = default;
    ~RawRequester();
    RawRequester(const RawRequester &) = delete;
    RawRequester &operator=(const RawRequester &) = delete;

    // Before start().
    void setClientId(const QByteArray &clientId);
    void setAnswerFilter(const QByteArray &filter);

    bool start(quint16 port);
    // One request, timed until its answer is in: microseconds, or -1.
    double call(int i);
    // The same for any message published with QoS 1.
    double call(const QByteArray &topic, const QByteArray &payload);

private:
    void answered();
    template<typename F>
    bool waitFor(F send);

    mosquitto *m_mosq = nullptr;
    QByteArray m_clientId = QByteArrayLiteral("bench-raw");
    QByteArray m_answerFilter = QByteArrayLiteral("bench/raw/response/+");
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_answered = false;
};
