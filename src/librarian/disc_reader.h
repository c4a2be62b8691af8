#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <string>
#include <vector>

#include "base/result.h"
#include "library/drive_disc.h"

namespace sonarch {

// Reads the disc in a drive as the player does (ReadDriveDisc) on a thread of its own: a
// physical drive takes seconds to spin a disc up, and the window answers meanwhile.
class DiscReader : public QObject {
    Q_OBJECT
public:
    explicit DiscReader(QObject* parent = nullptr);
    // Waits for reads under way: a drive is not left open behind the program.
    ~DiscReader() override;

    // Starts reading; what a read started before would report is dropped.
    void start(const std::string& drive);
    // Nothing more is reported of the read under way.
    void cancel();
    bool running() const { return m_running; }

signals:
    // The disc was just put in and is getting ready.
    void gettingReady();
    void finished(const sonarch::Result<sonarch::DriveDisc>& disc);

private:
    std::vector<QPointer<QThread>> m_threads;
    unsigned m_generation = 0;
    bool m_running = false;
};

}  // namespace sonarch
