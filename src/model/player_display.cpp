#include "model/player_display.h"

#include <algorithm>
#include <iterator>

namespace sonarch {

namespace {

// Sets `field` and says whether it changed.
template <class T>
bool assign(T& field, const T& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

}  // namespace

PlayerDisplay::PlayerDisplay() {
    m_numberColours.fill(kNoTrack);
}

void PlayerDisplay::setTransportEnabled(bool enabled) {
    if (assign(m_transportEnabled, enabled)) {
        emit transportEnabledChanged(enabled);
    }
}

void PlayerDisplay::setIndicatorShown(Indicator indicator, bool shown) {
    if (assign(m_indicators[index(indicator)], shown)) {
        emit indicatorChanged(indicator, shown);
    }
}

void PlayerDisplay::setProgressShown(bool shown) {
    if (assign(m_progressShown, shown)) {
        emit progressShownChanged(shown);
    }
}

void PlayerDisplay::setProgressPercent(int percent) {
    if (assign(m_progressPercent, percent)) {
        emit progressPercentChanged(percent);
    }
}

void PlayerDisplay::setStatusText(const std::string& text) {
    // An empty line has nothing to say either, so it too waits behind a notice.
    static const std::string kPlayStates[] = {"Playing . . .", "Paused . . .", "Stopped . . .",
                                              "Ready . . .", ""};
    const bool playState =
        std::find(std::begin(kPlayStates), std::end(kPlayStates), text) != std::end(kPlayStates);
    if (m_noticeRuns > 0 && playState) {
        return;
    }
    m_noticeRuns = 0;
    showStatus(text, {});
}

void PlayerDisplay::showNotice(const std::string& text, int runs) {
    m_noticeRuns = runs;
    showStatus(text, text);
}

void PlayerDisplay::countDownNotice() {
    if (m_noticeRuns > 0) {
        --m_noticeRuns;
    }
}

void PlayerDisplay::endNotice(const std::string& text) {
    if (m_noticeRuns > 0 && m_statusText == text) {
        m_noticeRuns = 0;
    }
}

void PlayerDisplay::showStatus(const std::string& text, const std::string& tip) {
    const bool textChanged = assign(m_statusText, text);
    if (assign(m_statusTip, tip) || textChanged) {
        emit statusTextChanged(text, tip);
    }
}

void PlayerDisplay::setCaption(Caption caption, const std::string& text) {
    if (assign(m_captions[index(caption)], text)) {
        emit captionChanged(caption, text);
    }
}

void PlayerDisplay::setTrackField(TrackField field, const std::string& text) {
    if (assign(m_fields[index(field)], text)) {
        emit trackFieldChanged(field, text);
    }
}

void PlayerDisplay::setTrackNumberColour(int index, WinColour colour) {
    if (index >= 0 && index < int(m_numberColours.size()) &&
        assign(m_numberColours[std::size_t(index)], colour)) {
        emit trackNumberColourChanged(index, colour);
    }
}

void PlayerDisplay::setMoreShown(bool shown) {
    if (assign(m_moreShown, shown)) {
        emit moreShownChanged(shown);
    }
}

void PlayerDisplay::setEjectCaption(const std::string& caption) {
    if (assign(m_ejectCaption, caption)) {
        emit ejectCaptionChanged(caption);
    }
}

void PlayerDisplay::setStars(int rating) {
    if (assign(m_stars, rating)) {
        emit starsChanged(rating);
    }
}

void PlayerDisplay::selectRow(int row) {
    if (assign(m_selectedRow, row)) {
        emit selectedRowChanged(row);
    }
}

}  // namespace sonarch
