#include "librarian/disc_reader.h"

#include <memory>

namespace sonarch {

DiscReader::DiscReader(QObject* parent) : QObject(parent) {}

DiscReader::~DiscReader() {
    for (const QPointer<QThread>& thread : m_threads) {
        if (thread) {
            thread->wait();
        }
    }
}

void DiscReader::start(const std::string& drive) {
    const unsigned generation = ++m_generation;
    m_running = true;
    // reading thread: the answers go back to this object's thread through its event loop
    QThread* thread = QThread::create([this, drive, generation] {
        auto disc = std::make_shared<Result<DriveDisc>>(ReadDriveDisc(drive, [this, generation] {
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation == m_generation && m_running) {
                        emit gettingReady();
                    }
                },
                Qt::QueuedConnection);
        }));
        QMetaObject::invokeMethod(
            this,
            [this, disc, generation] {
                if (generation == m_generation && m_running) {
                    m_running = false;
                    emit finished(*disc);
                }
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    std::erase_if(m_threads, [](const QPointer<QThread>& done) { return done.isNull(); });
    m_threads.emplace_back(thread);
    thread->start();
}

void DiscReader::cancel() {
    m_running = false;
    ++m_generation;
}

}  // namespace sonarch
