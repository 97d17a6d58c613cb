// The pool the analysis and the synchronization share: every item once, errors and stops.

#include "workflow/Parallel.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace vimosync;

// Waits (at most ten seconds) until the flag is up.
static void waitFor(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

class TestParallel : public QObject {
    Q_OBJECT
private slots:
    void everyItemOnceOnTheWorkers() {
        for (const int jobs : {1, 2, 8}) {
            std::vector<std::atomic<int>> runs(100);
            std::mutex lock;
            std::set<std::thread::id> threads;
            int waits = 0;
            int lastDone = -1;
            const int ran = RunInParallel(
                100, jobs,
                [&](int i) {
                    ++runs[static_cast<std::size_t>(i)];
                    const std::lock_guard<std::mutex> guard(lock);
                    threads.insert(std::this_thread::get_id());
                },
                [&](int done) {
                    ++waits;
                    QVERIFY(done >= lastDone);
                    lastDone = done;
                });
            QCOMPARE(ran, 100);
            for (const auto& r : runs) {
                QCOMPARE(r.load(), 1);
            }
            // The caller only waits: the items run on threads of their own.
            QVERIFY(!threads.count(std::this_thread::get_id()));
            QVERIFY(int(threads.size()) <= jobs);
            // The window gets its events at least once, the last time with every item done.
            QVERIFY(waits >= 1);
            QCOMPARE(lastDone, 100);
        }
        QCOMPARE(RunInParallel(
                     0, 4, [](int) {}, nullptr),
                 0);
    }

    void theErrorOfTheLowestIndexComesBack() {
        // One worker: the items run in order and none starts after the first error.
        std::atomic<int> ran{0};
        try {
            RunInParallel(
                50, 1,
                [&](int i) {
                    ++ran;
                    if (i == 7 || i == 30) {
                        throw std::runtime_error(std::to_string(i));
                    }
                },
                nullptr);
            QFAIL("no error came back");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QByteArray(e.what()), QByteArray("7"));
        }
        QCOMPARE(ran.load(), 8);

        // Several workers: item 30 fails first, item 7 later; the lower index wins.
        std::atomic<bool> thirtyFailed{false};
        try {
            RunInParallel(
                50, 4,
                [&](int i) {
                    if (i == 30) {
                        thirtyFailed = true;
                        throw std::runtime_error("30");
                    }
                    if (i == 7) {
                        const auto until =
                            std::chrono::steady_clock::now() + std::chrono::seconds(10);
                        while (!thirtyFailed && std::chrono::steady_clock::now() < until) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        }
                        throw std::runtime_error("7");
                    }
                },
                nullptr);
            QFAIL("no error came back");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QByteArray(e.what()), QByteArray("7"));
        }
        QVERIFY(thirtyFailed.load());
    }

    void stopEndsTheHandingOut() {
        std::atomic<bool> stop{false};
        std::atomic<int> ran{0};
        const int started = RunInParallel(
            1000, 2,
            [&](int i) {
                ++ran;
                if (i == 10) {
                    stop = true;
                } else if (i > 10) {
                    // Later items wait for the stop, so that none races past it.
                    waitFor(stop);
                }
            },
            nullptr, &stop);
        QCOMPARE(started, ran.load());
        QVERIFY(started <= 12); // items 0 to 10, and 11 on the other worker at most
    }

    void anErrorWhileWaitingEndsTheRunCleanly() {
        std::atomic<int> ran{0};
        std::atomic<bool> waited{false};
        QVERIFY_THROWS_EXCEPTION(std::logic_error, RunInParallel(
                                                       200, 2,
                                                       [&](int) {
                                                           ++ran;
                                                           waitFor(waited);
                                                       },
                                                       [&](int) {
                                                           waited = true;
                                                           throw std::logic_error("x");
                                                       }));
        QVERIFY(ran.load() < 200);
    }
};

QTEST_GUILESS_MAIN(TestParallel)
#include "tst_parallel.moc"
