// The history list behind the history table: every record, the ones a filter
// lets through (arranged newest first, as fetched) and the selection. Used
// on the main thread only. Listeners hear of each change of contents or
// selection.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "app/history/history_record.h"

namespace dvk {

class HistoryList {
public:
    using Filter = std::function<bool(const HistoryMO&)>;
    enum class Change { Contents, Selection };
    using Listener = std::function<void(Change)>;

    // New contents; the selection keeps the records (by object id) still shown.
    void setContent(std::vector<HistoryMO> records);
    // Empty: every record.
    void setFilterPredicate(Filter filter);
    // Every record shown whatever the filter (which is kept for when this
    // is switched off again): the user's road to records of other files.
    void setShowsAll(bool all);
    bool showsAll() const { return showsAll_; }

    const std::vector<HistoryMO>& content() const { return content_; }
    const std::vector<HistoryMO>& arrangedObjects() const { return arranged_; }

    const std::vector<std::size_t>& selectionIndexes() const { return selection_; }
    // Indexes into arrangedObjects(); those out of range are dropped.
    void setSelectionIndexes(std::vector<std::size_t> indexes);
    void setSelectionIndex(std::size_t index) { setSelectionIndexes({index}); }
    void clearSelection() { setSelectionIndexes({}); }
    std::vector<HistoryMO> selectedObjects() const;
    // The arranged index of the record with this object id, or -1.
    long indexOfObjectWithID(std::int64_t id) const;

    int addListener(Listener listener);
    void removeListener(int token);

private:
    void arrange(const std::vector<std::int64_t>& keepSelected);
    void notify(Change change);

    std::vector<HistoryMO> content_;
    std::vector<HistoryMO> arranged_;
    std::vector<std::size_t> selection_;
    Filter filter_;
    bool showsAll_ = false;
    std::map<int, Listener> listeners_;
    int nextListener_ = 1;
};

}  // namespace dvk
