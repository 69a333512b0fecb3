#include <gtest/gtest.h>

#include "platform/pasteboard.h"

namespace dvk {
namespace {

TEST(Pasteboard, MemoryPasteboardHoldsOneString) {
    MemoryPasteboard pb;
    EXPECT_FALSE(pb.hasString());
    EXPECT_FALSE(pb.string());
    EXPECT_TRUE(pb.setString("exposure 1\n"));
    EXPECT_TRUE(pb.hasString());
    EXPECT_EQ(*pb.string(), "exposure 1\n");
    EXPECT_EQ(*pb.dataForString(), "exposure 1\n");
    pb.clearContents();
    EXPECT_FALSE(pb.hasString());
}

TEST(Pasteboard, GeneralPasteboardCanBeReplaced) {
    auto mine = std::make_shared<MemoryPasteboard>();
    set_general_pasteboard(mine);
    general_pasteboard()->setString("x");
    EXPECT_EQ(*mine->string(), "x");
    set_general_pasteboard(nullptr);
    EXPECT_NE(general_pasteboard().get(), mine.get());
    EXPECT_FALSE(general_pasteboard()->hasString());
}

}  // namespace
}  // namespace dvk
