#pragma once

#include <QObject>
#include <array>
#include <string>

#include "model/colours.h"

namespace sonarch {

enum class Indicator { Stop, Pause, Play };

enum class Caption { TimeWindow, BarTime, Track, BarTrack, TotalTime, BarTotal, TrackCount };

enum class TrackField { Title, Artist, Album };

// What the player shows, as the poll and the commands left it: the status line, the time
// and track captions, the indicators, the track numbers, the current track's fields, the
// stars. Every setter tells the listeners at once, and only when the value changed, so a
// view never writes a control whose value is already on screen.
class PlayerDisplay : public QObject {
    Q_OBJECT
public:
    PlayerDisplay();

    bool transportEnabled() const { return m_transportEnabled; }
    bool indicatorShown(Indicator indicator) const { return m_indicators[index(indicator)]; }
    bool progressShown() const { return m_progressShown; }
    int progressPercent() const { return m_progressPercent; }
    const std::string& statusText() const { return m_statusText; }
    // The status line's tooltip: a library notice in full, else empty.
    const std::string& statusTip() const { return m_statusTip; }
    const std::string& caption(Caption caption) const { return m_captions[index(caption)]; }
    const std::string& trackField(TrackField field) const { return m_fields[index(field)]; }
    WinColour trackNumberColour(int index) const { return m_numberColours[std::size_t(index)]; }
    bool moreShown() const { return m_moreShown; }
    const std::string& ejectCaption() const { return m_ejectCaption; }
    int stars() const { return m_stars; }
    // The track list's selected row (counted from 1), 0 for none.
    int selectedRow() const { return m_selectedRow; }

    void setTransportEnabled(bool enabled);
    void setIndicatorShown(Indicator indicator, bool shown);
    void setProgressShown(bool shown);
    void setProgressPercent(int percent);
    // The poll's and the commands' status texts. While a notice holds the line, the
    // playing state's own texts ("Playing . . ." and the like) and the empty text wait; any
    // other replaces it.
    void setStatusText(const std::string& text);
    // A notice (a library that cannot be read), held for `runs` poll runs, in full as the
    // line's tooltip.
    void showNotice(const std::string& text, int runs);
    // After each poll run.
    void countDownNotice();
    // Runs until the notice gives the line back; 0 when none holds it.
    int noticeRunsLeft() const { return m_noticeRuns; }
    // Lets the playing state's texts back at once, if the line still shows the notice `text`.
    void endNotice(const std::string& text);
    void setCaption(Caption caption, const std::string& text);
    void setTrackField(TrackField field, const std::string& text);
    void setTrackNumberColour(int index, WinColour colour);  // N(0)..N(9); others ignored
    void setMoreShown(bool shown);
    void setEjectCaption(const std::string& caption);
    void setStars(int rating);
    void selectRow(int row);
    // The user chose a row in the list: noted without telling the view that did it.
    void noteSelectedRow(int row) { m_selectedRow = row; }

signals:
    void transportEnabledChanged(bool enabled);
    void indicatorChanged(sonarch::Indicator indicator, bool shown);
    void progressShownChanged(bool shown);
    void progressPercentChanged(int percent);
    void statusTextChanged(const std::string& text, const std::string& tip);
    void captionChanged(sonarch::Caption caption, const std::string& text);
    void trackFieldChanged(sonarch::TrackField field, const std::string& text);
    void trackNumberColourChanged(int index, sonarch::WinColour colour);
    void moreShownChanged(bool shown);
    void ejectCaptionChanged(const std::string& caption);
    void starsChanged(int rating);
    void selectedRowChanged(int row);

private:
    void showStatus(const std::string& text, const std::string& tip);
    template <class E>
    static std::size_t index(E value) {
        return static_cast<std::size_t>(value);
    }

    bool m_transportEnabled = false;
    std::array<bool, 3> m_indicators{true, false, false};
    bool m_progressShown = true;
    int m_progressPercent = 0;
    std::string m_statusText;
    std::string m_statusTip;
    std::array<std::string, 7> m_captions;
    std::array<std::string, 3> m_fields;
    std::array<WinColour, 10> m_numberColours{};
    bool m_moreShown = false;
    std::string m_ejectCaption = "Eject";
    int m_stars = 0;
    int m_selectedRow = 0;
    int m_noticeRuns = 0;
};

}  // namespace sonarch
