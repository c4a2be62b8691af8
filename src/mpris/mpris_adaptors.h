#pragma once

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace sonarch {

class MprisService;
class Player;

// org.mpris.MediaPlayer2: the application itself.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool Fullscreen READ fullscreen WRITE setFullscreen)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    MprisRootAdaptor(QObject* object, MprisService& service);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool fullscreen() const { return false; }
    void setFullscreen(bool) {}
    bool canSetFullscreen() const { return false; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList supportedUriSchemes() const;
    QStringList supportedMimeTypes() const;

public slots:
    void Raise();
    void Quit();

private:
    MprisService& m_service;
};

// org.mpris.MediaPlayer2.Player: the transport, the current track and the volume.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    MprisPlayerAdaptor(QObject* object, MprisService& service);

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    // A CD plays at one speed, in its own order.
    double rate() const { return 1.0; }
    void setRate(double) {}
    bool shuffle() const { return false; }
    void setShuffle(bool) {}
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    void OpenUri(const QString& Uri);

signals:
    void Seeked(qlonglong Position);

private:
    MprisService& m_service;
};

// The player's own object on the bus: a call to its adaptor finds the message it came in
// here (the bus sets it on the object, not on the adaptor), to be answered later.
class HandoffObject : public QObject, public QDBusContext {
    Q_OBJECT
public:
    using QObject::QObject;
};

// org.sonarch.CDPlayer: a second start of the player hands its drive over here.
class DriveHandoffAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sonarch.CDPlayer")
public:
    DriveHandoffAdaptor(HandoffObject* object, MprisService& service);

public slots:
    // A drive name as --drive takes it, made absolute by the sender, as bytes (a file
    // name need not be UTF-8). True when it opened.
    bool OpenDrive(const QByteArray& name);
    // A later start's request: its word ("raise", "open", "play-pause", "next", "previous",
    // "stop"), the drive for "open" as above, and when its sender stops waiting (the
    // system's monotonic clock, in milliseconds). True when done; else why not.
    bool Request(const QString& word, const QByteArray& drive, qlonglong startBy, QString& problem);

private:
    HandoffObject* m_object;
    MprisService& m_service;
};

// org.sonarch.CDPlayer.Library: the library window tells the player which library to use
// and which disc it changed. Paths travel as bytes (a file name need not be UTF-8).
class LibraryLinkAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sonarch.CDPlayer.Library")
public:
    LibraryLinkAdaptor(HandoffObject* object, Player& player);

public slots:
    // The library the player uses ("None selected" when none is chosen).
    QByteArray Library();
    // Use this library from now on, as if chosen in the options dialog.
    void UseLibrary(const QByteArray& path);
    // The library window saved or removed the rows of the disc with this key.
    void DiscChanged(const QByteArray& library, const QString& key);

private:
    Player& m_player;
};

}  // namespace sonarch
