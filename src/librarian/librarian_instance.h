#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>

#include <string>

namespace sonarch {

// One library window per user: the first takes its name on the session bus, and a later
// start (the player's "Library…" clicked again, say) hands its drive and --add to it and
// ends, so the running window comes forward instead of a second one opening.
class LibrarianInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sonarch.Library")
public:
    static constexpr const char* kBusName = "org.sonarch.Library";
    static constexpr const char* kObjectPath = "/org/sonarch/Library";

    using QObject::QObject;

    // A later start's side: true when a running library window took the request.
    static bool handOver(QDBusConnection bus, const std::string& drive, bool addDisc, int track,
                         int rating);
    // The first start's side: false when the bus is missing or the name is taken.
    bool registerOn(QDBusConnection bus);

public slots:
    // `track` 0: no rating given in the player.
    Q_SCRIPTABLE void Show(const QByteArray& drive, bool addDisc, int track, int rating);

signals:
    void showRequested(const std::string& drive, bool addDisc, int track, int rating);
};

}  // namespace sonarch
