#include "platform/inputmethodswitch.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace typetoki {

void Fcitx5Switch::turnOn()
{
    // fcitx5's Qt plugin talks to fcitx5 over a bus connection of this name.
    // Only while it exists is fcitx5 this program's input method; otherwise
    // the controller would switch whichever other program had the focus.
    // Sent on that same connection, the request reaches fcitx5 after the
    // plugin's news that the box takes composed text again, not before it.
    QDBusConnection bus(QStringLiteral("fcitx"));
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
        QStringLiteral("org.fcitx.Fcitx.Controller1"), QStringLiteral("Activate"));
    call.setAutoStartService(false);
    // No reply is awaited: a key press must never wait for the bus.
    bus.send(call);
}

}  // namespace typetoki
