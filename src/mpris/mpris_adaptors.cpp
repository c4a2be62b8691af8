#include "mpris/mpris_adaptors.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include "core/player.h"
#include "model/settings.h"
#include "mpris/mpris_service.h"

namespace sonarch {

MprisRootAdaptor::MprisRootAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), m_service(service) {}

QString MprisRootAdaptor::identity() const {
    return "Sonarch CD Player";
}

QString MprisRootAdaptor::desktopEntry() const {
    return SONARCH_APP_ID;  // the installed desktop entry, SONARCH_APP_ID.desktop
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {"file", "cdda"};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    // The disc images the player opens: CUE sheets, cdrdao TOC files, Nero images.
    return {"application/x-cue", "application/x-cdrdao-toc", "application/x-nrg"};
}

void MprisRootAdaptor::Raise() {
    m_service.raise();
}

void MprisRootAdaptor::Quit() {
    m_service.quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), m_service(service) {
    connect(&service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return m_service.current().playbackStatus;
}

QString MprisPlayerAdaptor::loopStatus() const {
    return m_service.current().loopStatus;
}

void MprisPlayerAdaptor::setLoopStatus(const QString& status) {
    m_service.setLoopStatus(status);
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return m_service.current().metadata.toMap();
}

double MprisPlayerAdaptor::volume() const {
    return m_service.current().volume;
}

void MprisPlayerAdaptor::setVolume(double volume) {
    m_service.setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return m_service.positionUs();
}

bool MprisPlayerAdaptor::canGoNext() const {
    return m_service.current().canGoNext;
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return m_service.current().canGoPrevious;
}

bool MprisPlayerAdaptor::canPlay() const {
    return m_service.current().canPlay;
}

bool MprisPlayerAdaptor::canPause() const {
    return m_service.current().canPause;
}

bool MprisPlayerAdaptor::canSeek() const {
    return m_service.current().canSeek;
}

void MprisPlayerAdaptor::Next() {
    m_service.next();
}

void MprisPlayerAdaptor::Previous() {
    m_service.previous();
}

void MprisPlayerAdaptor::Pause() {
    m_service.pause();
}

void MprisPlayerAdaptor::PlayPause() {
    m_service.playPause();
}

void MprisPlayerAdaptor::Stop() {
    m_service.stop();
}

void MprisPlayerAdaptor::Play() {
    m_service.play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
    m_service.seek(Offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    m_service.setPosition(TrackId.path(), Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri) {
    m_service.openUri(Uri);
}

DriveHandoffAdaptor::DriveHandoffAdaptor(HandoffObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), m_object(object), m_service(service) {}

bool DriveHandoffAdaptor::OpenDrive(const QByteArray& name) {
    return m_service.openDrive(name);
}

bool DriveHandoffAdaptor::Request(const QString& word, const QByteArray& drive, qlonglong startBy,
                                  QString& problem) {
    const auto kind = RequestKindFromWord(word.toStdString());
    if (!kind) {
        problem = "the request was not understood";
        return false;
    }
    // A drive answers once it has opened, which may take a while: the bus waits for it.
    m_object->setDelayedReply(true);
    m_service.answerLaterStart(
        {*kind, drive.toStdString(), std::int64_t(startBy), 0},
        [call = m_object->message(), bus = m_object->connection()](const PlayerAnswer& answer) {
            bus.send(call.createReply(
                {QVariant(answer.done), QVariant(QString::fromStdString(answer.problem))}));
        });
    return false;  // not sent: the reply above is the answer
}

LibraryLinkAdaptor::LibraryLinkAdaptor(HandoffObject* object, Player& player)
    : QDBusAbstractAdaptor(object), m_player(player) {}

QByteArray LibraryLinkAdaptor::Library() {
    return QByteArray::fromStdString(m_player.settings().databasePath);
}

void LibraryLinkAdaptor::UseLibrary(const QByteArray& path) {
    m_player.useLibrary(path.toStdString());
}

void LibraryLinkAdaptor::DiscChanged(const QByteArray& library, const QString& key) {
    m_player.libraryDiscChanged(library.toStdString(), key.toStdString());
}

}  // namespace sonarch
