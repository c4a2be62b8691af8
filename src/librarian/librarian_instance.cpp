#include "librarian/librarian_instance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace sonarch {

namespace {

constexpr int kAnswerWaitMs = 5000;

}  // namespace

bool LibrarianInstance::handOver(QDBusConnection bus, const std::string& drive, bool addDisc,
                                 int track, int rating) {
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kBusName)) {
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kBusName, kObjectPath, "org.sonarch.Library", "Show");
    call.setAutoStartService(false);
    call << QByteArray::fromStdString(drive) << addDisc << track << rating;
    return bus.call(call, QDBus::Block, kAnswerWaitMs).type() == QDBusMessage::ReplyMessage;
}

bool LibrarianInstance::registerOn(QDBusConnection bus) {
    if (!bus.isConnected() ||
        !bus.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots)) {
        return false;
    }
    if (!bus.registerService(kBusName)) {
        bus.unregisterObject(kObjectPath);
        return false;
    }
    return true;
}

void LibrarianInstance::Show(const QByteArray& drive, bool addDisc, int track, int rating) {
    emit showRequested(drive.toStdString(), addDisc, track, rating);
}

}  // namespace sonarch
