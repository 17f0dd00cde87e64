// Row changes the worker hands to the window, kept in their order. The window is woken once for
// many of them and makes them in batches, so that it paints and takes input between batches
// instead of falling behind a queue of messages as long as the run.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

class RowChangeQueue {
public:
    using Change = std::function<void()>;

    // What a change is of: a row of the list (0 and up), the run's count, or nothing in particular.
    static constexpr int kNoRow = -1;
    static constexpr int kRunCount = -2;

    // Adds a change after those added before it; true when the window must be woken for it,
    // which is so only for the first change after the window went to sleep. A change of one row,
    // or of the run's count, that only shows a passing state is left out when a later change of the
    // same row (or count) is taken with it: the window draws after a batch, so that state would
    // never be seen.
    bool Add(Change change, int row = kNoRow, bool passing = false);
    // Takes every change added so far, in their order, but for the passing ones a later change of
    // their row makes pointless. Taking none while `sleepIfNone` puts the window to sleep: the next
    // Add wakes it again.
    std::vector<Change> Take(bool sleepIfNone);

private:
    struct Entry {
        Change change;
        int row;
        bool passing;
    };
    std::mutex m_lock;
    std::vector<Entry> m_changes;
    bool m_bAwake = false;
};

// Makes the changes in their order; one that fails leaves its row as it was and the rest go on.
void MakeChanges(std::vector<RowChangeQueue::Change>& changes);
