#include "pipeline/settings/undo_manager.h"

#include <utility>

namespace dvk {

void UndoManager::beginUndoGrouping() {
    if (level_++ == 0) open_ = Group{};
}

void UndoManager::endUndoGrouping() {
    if (level_ == 0) return;
    if (--level_ > 0) return;
    if (open_.actions.empty()) return;
    if (state_ == State::Normal) redo_.clear();
    target().push_back(std::move(open_));
    open_ = Group{};
}

void UndoManager::registerUndo(Action action, const void* target) {
    if (disabled_ > 0 || !action) return;
    if (level_ > 0) {
        open_.actions.push_back(Entry{std::move(action), target});
        return;
    }
    beginUndoGrouping();
    open_.actions.push_back(Entry{std::move(action), target});
    endUndoGrouping();
}

void UndoManager::setActionName(std::string name) {
    // Undo and redo keep the name of the group they run.
    if (disabled_ > 0 || state_ != State::Normal) return;
    if (level_ > 0) {
        open_.name = std::move(name);
        return;
    }
    auto& t = target();
    if (!t.empty()) t.back().name = std::move(name);
}

bool UndoManager::run_last(std::vector<Group>& from, State state) {
    if (from.empty() || level_ > 0 || state_ != State::Normal) return false;
    Group g = std::move(from.back());
    from.pop_back();
    state_ = state;
    // Everything the actions register forms the opposite group, named like
    // the group being run unless an action names it.
    beginUndoGrouping();
    open_.name = g.name;
    for (auto it = g.actions.rbegin(); it != g.actions.rend(); ++it) it->action();
    endUndoGrouping();
    state_ = State::Normal;
    return true;
}

bool UndoManager::undo() { return run_last(undo_, State::Undoing); }

bool UndoManager::redo() { return run_last(redo_, State::Redoing); }

void UndoManager::removeAllActions() {
    undo_.clear();
    redo_.clear();
    open_ = Group{};
    level_ = 0;
}

void UndoManager::removeAllActionsWithTarget(const void* target) {
    auto strip = [&](std::vector<Group>& stack) {
        for (auto& g : stack) std::erase_if(g.actions, [&](const Entry& e) { return e.target == target; });
        std::erase_if(stack, [](const Group& g) { return g.actions.empty(); });
    };
    strip(undo_);
    strip(redo_);
    std::erase_if(open_.actions, [&](const Entry& e) { return e.target == target; });
}

}  // namespace dvk
