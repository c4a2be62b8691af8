#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "librarian/disc_draft.h"
#include "librarian/disc_save.h"
#include "library/drive_disc.h"
#include "lookup/online_settings.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace sonarch {

class CoverDrop;
class FileChooser;
class Messages;
class ReleasePanel;

// One disc, every field the library keeps of it editable in place: album, album comment,
// cover (from a file, dropped on it, or the front cover of a release looked up online),
// and each track's title, artist, rating and comment. Saving is the window's business.
class DiscEditor : public QWidget {
    Q_OBJECT
public:
    enum TrackColumn { Number, Title, Artist, Time, Rating, Comment, ColumnCount };

    DiscEditor(Messages& messages, FileChooser& files, const OnlineSettings& online,
               QWidget* parent = nullptr);

    // A disc of the library; `drive` when it is the disc in the drive (it can be looked up).
    void showStored(const DiscDraft& stored, const std::optional<DriveDisc>& drive);
    // A disc the library does not hold yet, named from its CD-TEXT where it has some.
    void showNew(const DriveDisc& disc);
    // The save went through: what is shown is what is stored.
    void showSaved(const DiscDraft& stored);

    // Sets the rating of the track numbered `track` as the user would in its cell.
    void presetRating(int track, int rating);

    // The disc as the fields show it.
    DiscDraft draft() const;
    // Nothing for a disc not in the library yet.
    const std::optional<DiscDraft>& stored() const { return m_stored; }
    const std::optional<PendingCover>& pendingCover() const { return m_pendingCover; }
    bool isNew() const { return !m_stored.has_value(); }
    // Something would be saved.
    bool hasChanges() const;
    // A lookup or a cover fetch is under way.
    bool busy() const;
    // Stops the online lookup, if one is under way.
    void cancelOnline();

signals:
    void saveRequested();
    void closeRequested();

private:
    void fill(const DiscDraft& draft);
    void applyNames(const DiscEntry& entry);
    void takeCoverFile(const QString& path);
    void takePicture(const QByteArray& bytes, const std::string& name);
    void showCover();
    void updateState();

    Messages& m_messages;
    FileChooser& m_files;
    std::optional<DiscDraft> m_stored;
    DiscDraft m_shown;  // key, cover and track numbers and times of what is shown
    std::optional<PendingCover> m_pendingCover;
    bool m_filling = false;

    QLabel* m_state;
    CoverDrop* m_cover;
    QPushButton* m_coverFromFile;
    QPushButton* m_noCover;
    QLineEdit* m_album;
    QPlainTextEdit* m_albumComment;
    QTableWidget* m_tracks;
    ReleasePanel* m_online;
    QPushButton* m_save;
    QPushButton* m_close;
};

}  // namespace sonarch
