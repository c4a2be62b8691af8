#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>

#include "base/result.h"
#include "library/jet/jet_import.h"

namespace sonarch {

// Imports a library in the old Access format (ImportJetLibrary) on a thread of its own,
// telling its progress; cancel() stops it, and it then leaves nothing behind.
class ImportJob : public QObject {
    Q_OBJECT
public:
    explicit ImportJob(QObject* parent = nullptr);
    // Stops an import under way and waits for it to end.
    ~ImportJob() override;

    void start(const JetImportRequest& request);
    void cancel();
    bool running() const { return m_thread != nullptr; }

signals:
    void progressed(const sonarch::JetImportProgress& progress);
    // Also after cancel(): a stopped import fails, saying so.
    void finished(const sonarch::Result<sonarch::JetImportSummary>& summary);

private:
    QPointer<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_stop;
};

}  // namespace sonarch
