#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/settings/undo_manager.h"

namespace dvk {
namespace {

// A value that registers its own undo, the way a setting does.
struct Undoable {
    UndoManager* um;
    int value = 0;
    void set(int v) {
        int old = value;
        um->registerUndo([this, old] { set(old); });
        um->setActionName("Set");
        value = v;
    }
};

TEST(UndoManager, UndoAndRedoSingleSteps) {
    UndoManager um;
    Undoable u{&um};
    u.set(1);
    u.set(2);
    EXPECT_EQ(um.undoCount(), 2u);
    EXPECT_EQ(um.undoActionName(), "Set");
    ASSERT_TRUE(um.undo());
    EXPECT_EQ(u.value, 1);
    EXPECT_TRUE(um.canRedo());
    ASSERT_TRUE(um.undo());
    EXPECT_EQ(u.value, 0);
    EXPECT_FALSE(um.undo());
    ASSERT_TRUE(um.redo());
    EXPECT_EQ(u.value, 1);
    ASSERT_TRUE(um.redo());
    EXPECT_EQ(u.value, 2);
    EXPECT_FALSE(um.redo());
    EXPECT_EQ(um.undoCount(), 2u);
}

TEST(UndoManager, NewChangeClearsRedo) {
    UndoManager um;
    Undoable u{&um};
    u.set(1);
    um.undo();
    EXPECT_TRUE(um.canRedo());
    u.set(5);
    EXPECT_FALSE(um.canRedo());
    um.undo();
    EXPECT_EQ(u.value, 0);
}

TEST(UndoManager, GroupsUndoInReverseOrder) {
    UndoManager um;
    std::vector<int> order;
    um.beginUndoGrouping();
    um.registerUndo([&] { order.push_back(1); });
    um.beginUndoGrouping();
    um.registerUndo([&] { order.push_back(2); });
    um.setActionName("Inner");
    um.endUndoGrouping();
    um.registerUndo([&] { order.push_back(3); });
    um.setActionName("Outer");
    um.endUndoGrouping();
    EXPECT_EQ(um.undoCount(), 1u);
    EXPECT_EQ(um.undoActionName(), "Outer");
    um.undo();
    EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
    // The actions registered nothing, so there is nothing to redo.
    EXPECT_FALSE(um.canRedo());
}

TEST(UndoManager, EmptyGroupIsDropped) {
    UndoManager um;
    um.beginUndoGrouping();
    um.setActionName("Nothing");
    um.endUndoGrouping();
    EXPECT_FALSE(um.canUndo());
}

TEST(UndoManager, RedoKeepsActionName) {
    UndoManager um;
    Undoable u{&um};
    u.set(3);
    um.undo();
    EXPECT_EQ(um.redoActionName(), "Set");
    um.redo();
    EXPECT_EQ(um.undoActionName(), "Set");
}

TEST(UndoManager, DisabledRegistrationRecordsNothing) {
    UndoManager um;
    Undoable u{&um};
    um.disableUndoRegistration();
    u.set(4);
    um.enableUndoRegistration();
    EXPECT_FALSE(um.canUndo());
    u.set(5);
    um.removeAllActions();
    EXPECT_FALSE(um.canUndo());
}

}  // namespace
}  // namespace dvk
