#include "core/ChannelSelectLists.h"

#include <gtest/gtest.h>

namespace vocomet {
namespace {

TEST(ChannelSelectLists, DocumentChannelsAreListedByNumberAndName) {
    EXPECT_EQ(ChannelSelectItems({"Mic", "EGG", "Flow"}),
              (std::vector<std::string>{"(Cha 1) Mic", "(Cha 2) EGG", "(Cha 3) Flow"}));
    // Every channel of a full document, not only the first ten.
    std::vector<std::string> names(20, "x");
    const std::vector<std::string> items = ChannelSelectItems(names);
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(items.back(), "(Cha 20) x");
    EXPECT_EQ(ChannelSelectItems({""}), std::vector<std::string>{"(Cha 1) "});
}

TEST(ChannelSelectLists, FileChannelsAreAllListed) {
    EXPECT_EQ(FileChannelSelectItems(4),
              (std::vector<std::string>{"Channel #1", "Channel #2", "Channel #3", "Channel #4"}));
    const std::vector<std::string> fourteen = FileChannelSelectItems(14);
    ASSERT_EQ(fourteen.size(), 14u);
    EXPECT_EQ(fourteen[10], "Channel #11");
    EXPECT_EQ(fourteen.back(), "Channel #14");
    EXPECT_TRUE(FileChannelSelectItems(0).empty());
    EXPECT_TRUE(FileChannelSelectItems(-3).empty());
}

TEST(ChannelSelectLists, InitialSelectionIsClampedToTheList) {
    const struct {
        int selection, count, expected;
    } cases[] = {{0, 3, 0}, {2, 3, 2}, {3, 3, 2}, {1, 1, 0}, {-1, 3, 0}, {25, 14, 13}, {0, 0, -1}, {5, -2, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(ClampChannelSelection(c.selection, c.count), c.expected) << c.selection << " of " << c.count;
}

}  // namespace
}  // namespace vocomet
