#pragma once

// Watches the source and destination directory trees and reports the first change
// in either, once, then ends. Analysis results are only current while neither
// directory changes; the owner withdraws them on the notice.

#include <QPointer>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <vector>

namespace vimosync {

class TMonitorTrd : public QThread {
    Q_OBJECT
public:
    // Sets up one watch per folder of every tree (paths in order: index 0, 1, ...) and
    // starts the thread. At the first change, notify runs once with the index of the
    // changed directory (the lower one when several changed at once) as an event
    // posted to target's thread; nothing runs when target is gone by then. Throws
    // Exception "Can't create monitoring thread for %s" with the path whose watch could
    // not be set up; nothing is then left running.
    TMonitorTrd(const QStringList& paths, QObject* target, std::function<void(int)> notify);
    // Asks the thread to end, waits for it (at most about one wait period) and
    // closes the watches.
    ~TMonitorTrd() override;

    // The wait period: the longest time an end request waits for the thread.
    static constexpr int kWaitMs = 200;

protected:
    void run() override;

private:
    void addTree(const QString& root, int index);

    QPointer<QObject> target_;
    std::function<void(int)> notify_;
    int fd_ = -1;
    // Set as run() ends. Read after wait(), it also tells a thread checker that the
    // descriptor is no longer in use when it is closed.
    std::atomic<bool> ended_{false};
    std::vector<int> wdIndex_; // watch descriptor -> directory index (-1: none)
};

} // namespace vimosync
