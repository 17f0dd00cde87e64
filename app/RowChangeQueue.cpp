#include "RowChangeQueue.h"

#include <utility>

bool RowChangeQueue::Add(Change change)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_changes.push_back(std::move(change));
    return !std::exchange(m_bAwake, true);
}

std::vector<RowChangeQueue::Change> RowChangeQueue::Take(bool sleepIfNone)
{
    std::vector<Change> taken;
    std::lock_guard<std::mutex> lock(m_lock);
    taken.swap(m_changes);
    if (taken.empty() && sleepIfNone)
        m_bAwake = false;
    return taken;
}

void MakeChanges(std::vector<RowChangeQueue::Change>& changes)
{
    for (RowChangeQueue::Change& change : changes) {
        // Nothing may unwind through the window procedure.
        try {
            change();
        } catch (...) {
        }
    }
}
