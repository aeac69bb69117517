// A server of one answer on 127.0.0.1, for requests that a test makes through a library.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <thread>

namespace KvrTest {

// Serves one connection on a thread: answers the first request with response and keeps the
// connection open until the client closes it (or closes it first when closeAfter is set).
class OneAnswerServer
{
public:
    OneAnswerServer(const QByteArray& response, bool closeAfter);
    ~OneAnswerServer();
    quint16 port = 0;

private:
    std::thread m_thread;
};

} // namespace KvrTest
