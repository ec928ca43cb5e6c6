#include <gtest/gtest.h>

#include <QTcpSocket>

#include "tests/support/Peers.h"

// The nginx fixture is what most end-to-end tests stand on: prove it serves.
TEST(NginxFixture, ServesAFileOnLoopback) {
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("dir/hello.txt", "hello");
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, nginx.port());
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write("GET /dir/hello.txt HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(5000)) answer += socket.readAll();
    answer += socket.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.left(200).toStdString();
    EXPECT_TRUE(answer.endsWith("\r\n\r\nhello"));
}
