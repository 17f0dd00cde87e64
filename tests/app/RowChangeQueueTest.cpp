// The worker's row changes on their way to the window: when the window is woken, and that every
// change is made once, in its order.
#include "app/RowChangeQueue.h"
#include "framework/Thread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

TEST(RowChangeQueue, WakesTheWindowOnlyForTheFirstChangeAfterItSlept)
{
    struct Step {
        const char* what; // "add", "take" (the window stays awake) or "sleep" (it sleeps if none is left)
        bool woken; // for "add": whether the window must be woken
        const char* made; // for "take" and "sleep": the changes taken, made in this order
    };
    const Step steps[] = {
        { "add", true, "" },
        { "add", false, "" },
        { "take", false, "12" },
        { "add", false, "" }, // awake, though nothing was left when it took
        { "sleep", false, "3" }, // something left: still awake
        { "add", false, "" },
        { "take", false, "4" },
        { "sleep", false, "" }, // asleep now
        { "sleep", false, "" },
        { "add", true, "" },
        { "add", false, "" },
        { "sleep", false, "56" },
    };
    RowChangeQueue queue;
    std::string log;
    int added = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.what) + " after \"" + log + "\"");
        if (std::string(step.what) == "add") {
            const char mark = static_cast<char>('1' + added++);
            EXPECT_EQ(queue.Add([&log, mark] { log += mark; }), step.woken);
            continue;
        }
        log.clear();
        std::vector<RowChangeQueue::Change> changes = queue.Take(std::string(step.what) == "sleep");
        MakeChanges(changes);
        EXPECT_EQ(log, step.made);
    }
}

TEST(RowChangeQueue, ChangeThatThrowsLeavesTheOthersToBeMade)
{
    RowChangeQueue queue;
    std::string log;
    queue.Add([&] { log += "a"; });
    queue.Add([] { throw std::runtime_error("row gone"); });
    queue.Add([&] { log += "c"; });
    std::vector<RowChangeQueue::Change> changes = queue.Take(true);
    MakeChanges(changes);
    EXPECT_EQ(log, "ac");
}

// A row's passing state (working), or a passing count, is left out only when a later change of the
// same row, or count, is taken with it; every other change is made, in its order.
TEST(RowChangeQueue, PassingChangeIsLeftOutOnlyForALaterChangeOfItsRowInTheSameBatch)
{
    struct Added {
        char mark;
        int row;
        bool passing;
    };
    struct Case {
        const char* what;
        std::vector<Added> batch;
        const char* made;
    };
    const Case cases[] = {
        { "working then done", { { 'w', 0, true }, { 'd', 0, false } }, "d" },
        { "working alone", { { 'w', 0, true } }, "w" },
        { "working of another row", { { 'w', 1, true }, { 'd', 0, false } }, "wd" },
        { "done before working", { { 'd', 0, false }, { 'w', 0, true } }, "dw" },
        { "two rows interleaved", { { 'a', 0, true }, { 'b', 1, true }, { 'c', 0, false }, { 'e', 2, true } }, "bce" },
        { "working twice", { { 'a', 3, true }, { 'b', 3, true } }, "b" },
        { "a change of no row", { { 'a', RowChangeQueue::kNoRow, true }, { 'b', RowChangeQueue::kNoRow, false } }, "ab" },
        // The run's count: only the last of a batch is drawn, and it never stands for a row.
        { "counts of three rows", { { '1', RowChangeQueue::kRunCount, true }, { 'a', 0, false }, { '2', RowChangeQueue::kRunCount, true }, { 'b', 1, false }, { '3', RowChangeQueue::kRunCount, true } }, "ab3" },
        { "a count beside row 0", { { 'w', 0, true }, { '1', RowChangeQueue::kRunCount, true }, { 'd', 0, false } }, "1d" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RowChangeQueue queue;
        std::string log;
        for (const Added& a : c.batch)
            queue.Add([&log, mark = a.mark] { log += mark; }, a.row, a.passing);
        std::vector<RowChangeQueue::Change> changes = queue.Take(true);
        MakeChanges(changes);
        EXPECT_EQ(log, c.made);
    }
    // Taken in separate batches, the passing state is made: the window draws it in between.
    RowChangeQueue queue;
    std::string log;
    queue.Add([&] { log += 'w'; }, 0, true);
    std::vector<RowChangeQueue::Change> first = queue.Take(false);
    queue.Add([&] { log += 'd'; }, 0);
    std::vector<RowChangeQueue::Change> second = queue.Take(false);
    MakeChanges(first);
    MakeChanges(second);
    EXPECT_EQ(log, "wd");
}

namespace {

// A worker adding changes as fast as it can, waking the window through an event, as it posts a
// message to the real one.
struct Producer {
    RowChangeQueue* queue;
    HANDLE hWake;
    std::vector<int>* made; // only the window's thread touches it, by making the changes
    int count;
    int wakes = 0;
};

UINT Produce(LPVOID param)
{
    auto* producer = static_cast<Producer*>(param);
    std::vector<int>& made = *producer->made;
    for (int i = 0; i < producer->count; i++) {
        if (producer->queue->Add([&made, i] { made.push_back(i); })) {
            producer->wakes++;
            ::SetEvent(producer->hWake);
        }
    }
    return 1;
}

} // namespace

TEST(RowChangeQueue, WindowThatSleepsWhenNothingIsLeftMissesNoChangeOfABusyWorker)
{
    constexpr int kChanges = 20000;
    RowChangeQueue queue;
    std::vector<int> made;
    HANDLE hWake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Producer producer { &queue, hWake, &made, kChanges };
    std::unique_ptr<CWinThread> worker = CWinThread::Begin(&Produce, &producer);
    ASSERT_TRUE(worker);
    int sleeps = 0;
    // The window's side: woken, it makes changes until none is left, then sleeps until woken again.
    // A change added as it fell asleep and never woken for would leave this waiting.
    while (static_cast<int>(made.size()) < kChanges) {
        ASSERT_EQ(::WaitForSingleObject(hWake, 10000), WAIT_OBJECT_0) << made.size() << " changes made";
        for (;;) {
            std::vector<RowChangeQueue::Change> changes = queue.Take(true);
            if (changes.empty())
                break;
            MakeChanges(changes);
        }
        sleeps++;
    }
    ::WaitForSingleObject(worker->m_hThread, INFINITE);
    ::CloseHandle(hWake);
    ASSERT_EQ(static_cast<int>(made.size()), kChanges);
    for (int i = 0; i < kChanges; i++)
        ASSERT_EQ(made[i], i) << "made out of order";
    EXPECT_EQ(producer.wakes, sleeps) << "one wake for each time the window slept";
}
