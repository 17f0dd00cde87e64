#include "RowChangeQueue.h"

#include <unordered_set>
#include <utility>

bool RowChangeQueue::Add(Change change, int row, bool passing)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_changes.push_back({ std::move(change), row, passing && row != kNoRow });
    return !std::exchange(m_bAwake, true);
}

std::vector<RowChangeQueue::Change> RowChangeQueue::Take(bool sleepIfNone)
{
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        entries.swap(m_changes);
        if (entries.empty() && sleepIfNone)
            m_bAwake = false;
    }
    // From the last change back: a passing change is kept only when no later one has its row.
    std::unordered_set<int> rowsLater;
    std::vector<bool> keep(entries.size(), true);
    for (size_t i = entries.size(); i-- > 0;) {
        const Entry& entry = entries[i];
        if (entry.row == kNoRow)
            continue;
        if (entry.passing && rowsLater.count(entry.row))
            keep[i] = false;
        rowsLater.insert(entry.row);
    }
    std::vector<Change> taken;
    taken.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); i++)
        if (keep[i])
            taken.push_back(std::move(entries[i].change));
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
