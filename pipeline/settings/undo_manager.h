// UndoManager: undo and redo stacks of groups of actions, each group with an
// action name. Registrations made while a group is open join it; nested
// groups join the outermost one. Registrations made while undoing form one
// redo group; those made while redoing form one undo group; any other
// registration clears the redo stack. A group that receives no action is
// dropped.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace dvk {

class UndoManager {
public:
    using Action = std::function<void()>;

    // Opens a group; groups nest.
    void beginUndoGrouping();
    // Closes the innermost group; closing the outermost one pushes it when
    // it holds any action.
    void endUndoGrouping();
    int groupingLevel() const { return level_; }

    // Adds an action to the open group, or to a group of its own when none
    // is open. Does nothing while registration is disabled. `target` names
    // the object the action calls into (see removeAllActionsWithTarget).
    void registerUndo(Action action, const void* target = nullptr);
    // Names the open group (or, with none open, the last group on the stack
    // that registration goes to). Ignored while undoing or redoing: the group
    // made then keeps the name of the group being run.
    void setActionName(std::string name);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Runs the actions of the last undo group in reverse order. Returns false
    // when there is nothing to undo or a group is open.
    bool undo();
    bool redo();
    bool isUndoing() const { return state_ == State::Undoing; }
    bool isRedoing() const { return state_ == State::Redoing; }

    std::string undoActionName() const { return undo_.empty() ? std::string() : undo_.back().name; }
    std::string redoActionName() const { return redo_.empty() ? std::string() : redo_.back().name; }
    std::size_t undoCount() const { return undo_.size(); }
    std::size_t redoCount() const { return redo_.size(); }

    void disableUndoRegistration() { ++disabled_; }
    void enableUndoRegistration() {
        if (disabled_ > 0) --disabled_;
    }
    bool isUndoRegistrationEnabled() const { return disabled_ == 0; }
    void removeAllActions();
    // Removes every action registered for `target` (an object going away);
    // groups left empty are dropped.
    void removeAllActionsWithTarget(const void* target);

private:
    struct Entry {
        Action action;
        const void* target;
    };
    struct Group {
        std::string name;
        std::vector<Entry> actions;
    };
    enum class State { Normal, Undoing, Redoing };

    std::vector<Group>& target() { return state_ == State::Undoing ? redo_ : undo_; }
    bool run_last(std::vector<Group>& from, State state);

    std::vector<Group> undo_;
    std::vector<Group> redo_;
    Group open_;
    int level_ = 0;
    int disabled_ = 0;
    State state_ = State::Normal;
};

// RAII helper: one group for the lifetime of the object.
class UndoGroup {
public:
    explicit UndoGroup(UndoManager* um) : um_(um) {
        if (um_) um_->beginUndoGrouping();
    }
    ~UndoGroup() {
        if (um_) um_->endUndoGrouping();
    }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    UndoManager* um_;
};

}  // namespace dvk
