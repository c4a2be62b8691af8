#pragma once

#include <QByteArray>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "library/disc_entry.h"
#include "lookup/online_settings.h"
#include "lookup/release_list.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace sonarch {

class CoverFetch;
class ReleaseLookup;
class WebClient;
struct CoverFetchResult;
struct ReleaseLookupResult;

// "Look up online": the MusicBrainz releases that hold the disc in the drive, each with its
// artist, title, date, country, label or barcode, track count and front cover; the one
// picked names the disc, and its front cover is fetched. Everything goes through the
// window's event loop: progress shows, Cancel stops it, a failure is a sentence in the
// panel.
class ReleasePanel : public QWidget {
    Q_OBJECT
public:
    ReleasePanel(const OnlineSettings& online, QWidget* parent = nullptr);
    ~ReleasePanel() override;

    // The disc the lookup is for; nothing hides the panel. What was found before goes.
    void setDisc(const std::optional<DriveDisc>& disc);
    void lookUp();
    // Stops what is under way: nothing more is reported.
    void cancel();
    bool busy() const;

signals:
    // A release was picked: the disc named by it.
    void namesChosen(const sonarch::DiscEntry& entry, const std::string& releaseId);
    // The picked release's front cover, as the archive sends it.
    void frontCoverFetched(const QByteArray& picture, const std::string& releaseId);
    void busyChanged(bool busy);

private:
    void lookedUp(const ReleaseLookupResult& result);
    void showReleases();
    void fetchNextThumbnail();
    void thumbnailFetched(const CoverFetchResult& result);
    void useChosen();
    void frontCoverDone(const CoverFetchResult& result);
    void setStatus(const QString& text, bool working);

    OnlineSettings m_online;
    WebClient* m_web;
    ReleaseLookup* m_lookup;
    CoverFetch* m_thumbnails;
    CoverFetch* m_frontCover;
    std::optional<DriveDisc> m_disc;
    std::vector<Release> m_releases;
    std::vector<std::size_t> m_thumbnailQueue;  // releases whose thumbnail is still to come
    std::optional<std::size_t> m_thumbnailFor;
    std::string m_frontCoverFor;
    bool m_busy = false;

    QPushButton* m_lookUpButton;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QTreeWidget* m_list;
    QPushButton* m_use;
};

}  // namespace sonarch
