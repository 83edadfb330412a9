#include "RawRequester.h"

#include <QByteArray>
#include <QStringBuilder>
#include <QElapsedTimer>

#include <mosquitto.h>

#include <chrono>

void RawRequester::setClientId(const QByteArray &clientId)
{
    m_clientId = clientId;
}

void RawRequester::setAnswerFilter(const QByteArray &filter)
{
    m_answerFilter = filter;
}

bool RawRequester::start(quint16 port)
{
    m_mosq = mosquitto_new(m_clientId.constData(), true, this);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *) {
        static_cast<RawRequester *>(self)->answered();
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int, const int *) {
        static_cast<RawRequester *>(self)->answered();
    });
    if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        return false;
    mosquitto_loop_start(m_mosq);
    return waitFor([this] { return mosquitto_subscribe(m_mosq, nullptr, m_answerFilter.constData(), 1); });
}

RawRequester::~RawRequester()
{
    if (m_mosq) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
}

double RawRequester::call(int i)
{
    return call(QByteArrayLiteral("bench/raw/request/") + QByteArray::number(i),
                QByteArrayLiteral("{\"n\":") + QByteArray::number(i) + QByteArrayLiteral("}"));
}

double RawRequester::call(const QByteArray &topic, const QByteArray &payload)
{
    QElapsedTimer timer;
    timer.start();
    if (!waitFor([&] {
            return mosquitto_publish(m_mosq, nullptr, topic.constData(), payload.size(), payload.constData(), 1,
                                     false);
        }))
        return -1;
    return timer.nsecsElapsed() / 1000.0;
}

void RawRequester::answered()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answered = true;
    m_condition.notify_one();
}

template<typename F>
bool RawRequester::waitFor(F send)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_answered = false;
    lock.unlock();
    if (send() != MOSQ_ERR_SUCCESS)
        return false;
    lock.lock();
    return m_condition.wait_for(lock, std::chrono::seconds(5), [this] { return m_answered; });
}
