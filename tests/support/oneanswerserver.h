// A server of one answer on 127.0.0.1, for requests that a test makes through a library.
#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>

#include <future>
#include <thread>

namespace KvrTest {

// Serves one connection on a thread: answers the first request with response and keeps the
// connection open until the client closes it (or closes it first when closeAfter is set).
class OneAnswerServer
{
public:
    OneAnswerServer(const QByteArray& response, bool closeAfter)
    {
        std::promise<quint16> listening;
        m_thread = std::thread([&listening, response, closeAfter] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            listening.set_value(server.serverPort());
            if (!server.waitForNewConnection(20000))
                return;
            QTcpSocket* socket = server.nextPendingConnection();
            QByteArray request;
            while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(5000))
                request += socket->readAll();
            socket->write(response);
            while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
            }
            if (closeAfter)
                socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->waitForDisconnected(20000);
        });
        port = listening.get_future().get();
    }
    ~OneAnswerServer() { m_thread.join(); }
    quint16 port = 0;

private:
    std::thread m_thread;
};

} // namespace KvrTest
