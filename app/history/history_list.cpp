#include "app/history/history_list.h"

#include <algorithm>

namespace dvk {

void HistoryList::setContent(std::vector<HistoryMO> records) {
    std::vector<std::int64_t> keep;
    for (std::size_t i : selection_) keep.push_back(arranged_[i].objectID());
    content_ = std::move(records);
    arrange(keep);
}

void HistoryList::setFilterPredicate(Filter filter) {
    std::vector<std::int64_t> keep;
    for (std::size_t i : selection_) keep.push_back(arranged_[i].objectID());
    filter_ = std::move(filter);
    arrange(keep);
}

void HistoryList::setShowsAll(bool all) {
    if (all == showsAll_) return;
    std::vector<std::int64_t> keep;
    for (std::size_t i : selection_) keep.push_back(arranged_[i].objectID());
    showsAll_ = all;
    arrange(keep);
}

void HistoryList::arrange(const std::vector<std::int64_t>& keepSelected) {
    arranged_.clear();
    for (const HistoryMO& r : content_)
        if (showsAll_ || !filter_ || filter_(r)) arranged_.push_back(r);
    selection_.clear();
    for (std::size_t i = 0; i < arranged_.size(); ++i)
        if (std::find(keepSelected.begin(), keepSelected.end(), arranged_[i].objectID()) != keepSelected.end())
            selection_.push_back(i);
    notify(Change::Contents);
}

void HistoryList::setSelectionIndexes(std::vector<std::size_t> indexes) {
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::erase_if(indexes, [this](std::size_t i) { return i >= arranged_.size(); });
    if (indexes == selection_) return;
    selection_ = std::move(indexes);
    notify(Change::Selection);
}

std::vector<HistoryMO> HistoryList::selectedObjects() const {
    std::vector<HistoryMO> out;
    for (std::size_t i : selection_) out.push_back(arranged_[i]);
    return out;
}

long HistoryList::indexOfObjectWithID(std::int64_t id) const {
    for (std::size_t i = 0; i < arranged_.size(); ++i)
        if (arranged_[i].objectID() == id) return static_cast<long>(i);
    return -1;
}

int HistoryList::addListener(Listener listener) {
    int token = nextListener_++;
    listeners_[token] = std::move(listener);
    return token;
}

void HistoryList::removeListener(int token) { listeners_.erase(token); }

void HistoryList::notify(Change change) {
    auto copy = listeners_;
    for (auto& [token, l] : copy) l(change);
}

}  // namespace dvk
