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

    // Adds a change after those added before it; true when the window must be woken for it,
    // which is so only for the first change after the window went to sleep.
    bool Add(Change change);
    // Takes every change added so far, in their order. Taking none while `sleepIfNone` puts the
    // window to sleep: the next Add wakes it again.
    std::vector<Change> Take(bool sleepIfNone);

private:
    std::mutex m_lock;
    std::vector<Change> m_changes;
    bool m_bAwake = false;
};

// Makes the changes in their order; one that fails leaves its row as it was and the rest go on.
void MakeChanges(std::vector<RowChangeQueue::Change>& changes);
