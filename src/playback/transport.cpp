#include "playback/transport.h"

#include "base/time_text.h"

namespace sonarch {

void Transport::play_Click() {
    m_device.DeviceCommand("play cd", false);
    m_state.playing = true;
    m_state.paused = false;
    m_state.stopped = false;
}

void Transport::pause_Click() {
    if (m_state.stopped) {
        return;
    }
    m_device.DeviceCommand("pause cd", false);
    m_state.playing = false;
    m_state.paused = true;
    m_state.stopped = false;
    m_pollStatus();
}

void Transport::stopbtn_Click() {
    m_device.DeviceCommand("stop cd wait", false);
    // The drive is left at the start of the current track, not of the disc.
    m_state.commandText = "seek cd to " + std::to_string(m_state.currentTrack);
    m_device.DeviceCommand(m_state.commandText, false);
    m_state.playing = false;
    m_state.paused = false;
    m_state.stopped = true;
    m_pollStatus();
}

void Transport::ftrack_Click() {
    if (m_state.currentTrack < m_state.trackCount) {
        m_state.commandText =
            moveCommandPrefix(m_state.playing) + std::to_string(m_state.currentTrack + 1);
        m_device.DeviceCommand(m_state.commandText, true);
    } else {
        m_device.DeviceCommand("seek cd to 1", false);
    }
    m_pollStatus();
}

void Transport::btrack_Click() {
    int target = m_state.currentTrack;
    if (m_state.positionMinutes == 0 && m_state.positionSeconds == 0) {
        target = m_state.currentTrack >= 2 ? m_state.currentTrack - 1 : m_state.trackCount;
    }
    m_state.commandText = moveCommandPrefix(m_state.playing) + std::to_string(target);
    m_device.DeviceCommand(m_state.commandText, false);
    m_pollStatus();
}

void Transport::eject_Click() {
    if (m_state.doorOpen) {
        // Shown before the door closes, which can take a while.
        m_display.setStatusText("Loading, please wait . . .");
        m_device.DeviceQuery("set cd door closed");
        m_state.doorOpen = false;
        m_display.setEjectCaption("Eject");
        forgetDisc();
    } else {
        // What an open tray changes waits for the drive to say it opened (see trayOpened):
        // a tray that stays shut changes nothing, and the disc plays on.
        m_device.DeviceQuery("set cd door open");
        m_state.ejectAsked = true;
    }
    m_pollStatus();
}

void Transport::trayOpened() {
    m_state.doorOpen = true;
    m_display.setEjectCaption("Close");
    m_state.discLoaded = false;
    forgetDisc();
}

void Transport::forgetDisc() {
    m_tracks.clear();
    for (int i = 0; i < 10; ++i) {
        m_display.setTrackNumberColour(i, kNoTrack);
    }
    m_state.discLookupPending = true;
}

void Transport::PlayTrack(const std::string& track) {
    if (m_state.playing) {
        m_state.commandText = "play cd from " + track;
        m_device.DeviceCommand(m_state.commandText, true);
        return;
    }
    m_state.commandText = "seek cd to " + track;
    m_device.DeviceCommand(m_state.commandText, true);
    m_state.commandText = "play cd from " + track;
    m_device.DeviceCommand(m_state.commandText, true);
}

void Transport::PlayTrack(int track) {
    PlayTrack(std::to_string(track));
}

void Transport::LV_DblClick(int row) {
    // The number as the list shows it; a row whose number the library did not give
    // plays nothing.
    const TrackRow* selected = m_tracks.row(row);
    if (selected && selected->number) {
        PlayTrack(twoDigits(*selected->number));
    }
}

}  // namespace sonarch
