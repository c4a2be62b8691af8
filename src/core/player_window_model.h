#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <vector>

#include "layout/twips.h"

namespace sonarch {

class Player;
class PlayerDisplay;
class TrackList;
struct Settings;

// The lower area of the window, opened by the list button or the cover button.
enum class LowerArea { Closed, TrackList, Cover };

// What start-up asks of the skinned window, in the order the presenter calls it.
class PlayerWindowView {
public:
    virtual ~PlayerWindowView() = default;
    virtual void placeAt(TwipPoint topLeft) = 0;
    // Laid out, so at its full size: a place stored off every screen of today comes back.
    virtual void keepOnScreens() = 0;
    virtual void showWindow() = 0;
    virtual void hideToTray() = 0;
};

// The presenter of the skinned player window, without a widget: it turns the window's
// gestures in window units (places on the bars, number labels, layout buttons) into the
// player's commands, and holds the window's own state: its layouts, the volume bar's share,
// the bar strip's captions and tooltips, and the order of its start-up and shut-down. The
// window shows what the player and this presenter report; another front end of the same
// window would use it as well.
class PlayerWindowModel : public QObject {
    Q_OBJECT
public:
    explicit PlayerWindowModel(Player& player, QObject* parent = nullptr);

    Player& player() { return m_player; }
    const PlayerDisplay& display() const;
    const TrackList& trackList() const;
    const Settings& settings() const;

    // Start-up: the settings, the window's stored options, place and layout, its showing,
    // then the player; a window left in the tray goes there last. False when the player
    // could not start (the mixer could not be opened): the window is shown then.
    bool startUp(TwipSize screen, TwipSize window, PlayerWindowView& view);
    // Start-up has run to its end, whichever way.
    bool started() const { return m_started; }
    // Whether the window may close now. When it may not (a poll or lookup is running, or
    // start-up is), closeRequested() asks again once it may.
    bool mayClose();
    // The player stops and saves, with the window's place; once.
    void shutDown(TwipPoint window);

    // The number labels N(0)..N(9): a press whitens the label of a track on the disc, a
    // click plays it; labels beyond the disc do nothing.
    void pressTrackNumber(int index);
    void clickTrackNumber(int index);
    // The more-tracks menu's tracks: 11 to the disc's last, at most 30; none for ten tracks
    // or fewer.
    std::vector<int> moreTracks() const;
    // The track list's row the user chose, counted from 1 (0 for none), and its playing.
    void noteSelectedRow(int row);
    void playSelectedRow();

    // The progress bar, the place given as a fraction of its width.
    bool canSeekOnBar() const;
    // The pointer over the bar with no button: the tooltip it shows.
    std::optional<std::string> seekTooltip(double fraction) const;
    // Dragging with the left button: the time and the fill follow the pointer.
    void dragOnBar(double fraction);
    // A left click: the current track from that place on.
    void clickOnBar(double fraction);

    // The volume bar: the pointer's height in bar units (0 at the top, 100 at the bottom)
    // sets the level, and the bar is drawn from the pointer; the buttons step from the
    // share drawn. volumeBarChanged() tells the share.
    void setVolumeFromBar(float yUnits);
    void volumeUp();
    void volumeDown();
    double volumePercent() const { return m_volumePercent; }

    // The time display: a click moves on to the next mode and gives the tooltip that
    // names it (nothing when no mode was set). A click on the bar's time does the same and
    // shows the time display's caption in the bar at once.
    std::optional<std::string> cycleTimeMode();
    std::optional<std::string> clickBarTime();
    void copyTimeToBar();

    // The layouts. Leaving the bar always returns to the normal layout. The list and the
    // cover open the same lower area, one at a time. Hidden to the tray, the window ends
    // the bar layout in its settings; it takes the normal layout when it comes back.
    bool barLayout() const;
    LowerArea lowerArea() const { return m_lowerArea; }
    void toggleBarLayout();
    void enterBarLayout();
    void leaveBarLayout();
    void toggleTrackList();
    void toggleCover();
    void setInTray(bool inTray);
    void cameBack();
    // The pointer moved over the window with no button: what the bar strip's labels tell of
    // the current track in the bar layout; nothing otherwise.
    std::optional<std::string> barTooltip() const;

    // The disc's cover, for the cover panel.
    std::string coverPath() const;

signals:
    void barLayoutChanged(bool bar);
    void lowerAreaChanged(sonarch::LowerArea area, sonarch::LowerArea before);
    void volumeBarChanged(double percent);
    void closeRequested();

private:
    void setLowerArea(LowerArea area);
    void showVolume(std::int32_t level);

    Player& m_player;
    LowerArea m_lowerArea = LowerArea::Closed;
    bool m_barShown = false;  // the window has the bar layout's look
    double m_volumePercent = 0;
    std::optional<double> m_pointerVolume;  // the share a move on the bar draws
    bool m_started = false;
    bool m_closeWhenStarted = false;
    bool m_shutDown = false;
};

}  // namespace sonarch
