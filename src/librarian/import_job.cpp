#include "librarian/import_job.h"

namespace sonarch {

ImportJob::ImportJob(QObject* parent) : QObject(parent) {}

ImportJob::~ImportJob() {
    if (m_thread) {
        m_stop->store(true);
        m_thread->wait();
    }
}

void ImportJob::start(const JetImportRequest& request) {
    if (m_thread) {
        return;
    }
    m_stop = std::make_shared<std::atomic<bool>>(false);
    // importing thread: progress and the end go back through this object's event loop
    m_thread = QThread::create([this, request, stop = m_stop] {
        auto summary = std::make_shared<Result<JetImportSummary>>(
            ImportJetLibrary(request, [this, stop](const JetImportProgress& progress) {
                QMetaObject::invokeMethod(
                    this, [this, progress] { emit progressed(progress); }, Qt::QueuedConnection);
                return !stop->load();
            }));
        QMetaObject::invokeMethod(
            this,
            [this, summary] {
                m_thread = nullptr;
                emit finished(*summary);
            },
            Qt::QueuedConnection);
    });
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start();
}

void ImportJob::cancel() {
    if (m_stop) {
        m_stop->store(true);
    }
}

}  // namespace sonarch
