// A tile server on 127.0.0.1 for the map's tests: serves generated PNG tiles
// at /{z}/{x}/{y}.png (each tile its own colour), or, as a test chooses, a
// 404 or bytes that are no picture. It counts requests per path and the
// connections open at once, and remembers the User-Agent it was sent. Each
// answer waits a few milliseconds so that a client that opened more
// connections than allowed would be seen doing so.
#pragma once

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

class CTileServer : public QObject {
public:
    enum class Answer { Tile, NotFound, Garbage };

    CTileServer()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) Accept(socket);
        });
    }
    bool Listen() { return server_.listen(QHostAddress::LocalHost, 0); }
    QString UrlTemplate() const
    {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server_.serverPort());
    }
    void SetAnswer(std::function<Answer(int z, int x, int y)> answer) { answer_ = std::move(answer); }

    int Requests() const { return requests_; }
    int RequestsFor(int z, int x, int y) const { return perTile_.value(Path(z, x, y)); }
    int MostConnectionsAtOnce() const { return most_; }
    QByteArray UserAgent() const { return userAgent_; }
    static QColor ColorOf(int z, int x, int y) { return QColor::fromHsv((x * 37 + y * 91 + z * 13) % 360, 160, 220); }

private:
    static QString Path(int z, int x, int y) { return QStringLiteral("/%1/%2/%3.png").arg(z).arg(x).arg(y); }

    void Accept(QTcpSocket* socket)
    {
        most_ = std::max(most_, ++open_);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --open_;
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
    }

    void Read(QTcpSocket* socket)
    {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        int end;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            const QByteArray head = buffer.left(end);
            buffer.remove(0, end + 4);
            const QList<QByteArray> lines = head.split('\n');
            for (const QByteArray& line : lines)
                if (line.toLower().startsWith("user-agent:")) userAgent_ = line.mid(11).trimmed();
            const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
            ++requests_;
            ++perTile_[path];
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(15, this, [this, guard, path] { if (guard) Respond(guard, path); });
        }
    }

    void Respond(QTcpSocket* socket, const QString& path)
    {
        static const QRegularExpression tile(QStringLiteral("^/(\\d+)/(\\d+)/(\\d+)\\.png$"));
        const QRegularExpressionMatch m = tile.match(path);
        Answer answer = Answer::NotFound;
        int z = 0, x = 0, y = 0;
        if (m.hasMatch()) {
            z = m.captured(1).toInt();
            x = m.captured(2).toInt();
            y = m.captured(3).toInt();
            answer = answer_ ? answer_(z, x, y) : Answer::Tile;
        }
        QByteArray body, status = "200 OK";
        if (answer == Answer::Tile) {
            QImage image(256, 256, QImage::Format_RGB32);
            image.fill(ColorOf(z, x, y));
            QBuffer out(&body);
            out.open(QIODevice::WriteOnly);
            image.save(&out, "PNG");
        } else if (answer == Answer::Garbage) {
            body = QByteArray(3000, '\x5a');
        } else {
            status = "404 Not Found";
            body = "no such tile";
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: image/png\r\nCache-Control: max-age=86400\r\n" +
                      "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QHash<QString, int> perTile_;
    std::function<Answer(int, int, int)> answer_;
    QByteArray userAgent_;
    int requests_ = 0;
    int open_ = 0;
    int most_ = 0;
};
