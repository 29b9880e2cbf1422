#pragma once

// The Qt objects a link keeps as its children, found from the link itself: the socket it makes
// on its first socket connect, the serial port and the repeating frame timer it makes on its first
// serial connect.
#include <QIODevice>
#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

namespace vanetest {

inline QTcpSocket* socketOf(const QObject& link) { return link.findChild<QTcpSocket*>(); }
inline QSerialPort* serialPortOf(const QObject& link) { return link.findChild<QSerialPort*>(); }

// The link's own timer; timers the socket or the port keep for themselves are not it.
inline QTimer* frameTimerOf(const QObject& link)
{
    for (QTimer* timer : link.findChildren<QTimer*>()) {
        if (!qobject_cast<QIODevice*>(timer->parent()))
            return timer;
    }
    return nullptr;
}

} // namespace vanetest
