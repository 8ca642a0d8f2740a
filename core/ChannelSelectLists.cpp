#include "core/ChannelSelectLists.h"

#include <algorithm>

namespace vocomet {

std::vector<std::string> ChannelSelectItems(const std::vector<std::string>& names) {
    std::vector<std::string> items;
    items.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        items.push_back("(Cha " + std::to_string(i + 1) + ") " + names[i]);
    return items;
}

std::vector<std::string> FileChannelSelectItems(int channelCount) {
    std::vector<std::string> items;
    for (int i = 1; i <= channelCount; ++i)
        items.push_back("Channel #" + std::to_string(i));
    return items;
}

int ClampChannelSelection(int selection, int itemCount) {
    if (itemCount <= 0)
        return -1;
    return std::clamp(selection, 0, itemCount - 1);
}

}  // namespace vocomet
