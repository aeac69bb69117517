#include "oneanswerserver.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <future>

namespace KvrTest {

OneAnswerServer::OneAnswerServer(const QByteArray& response, bool closeAfter)
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

OneAnswerServer::~OneAnswerServer()
{
    m_thread.join();
}

} // namespace KvrTest
