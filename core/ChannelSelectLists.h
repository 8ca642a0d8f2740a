#pragma once
// The item lists of the two channel selection dialogs, and the selection
// they open with. The dialogs themselves are in core/ui.

#include <string>
#include <vector>

namespace vocomet {

// Data Channel Select (the exports): one item per channel of the document,
// "(Cha 1) " followed by the first channel's name, and so on.
std::vector<std::string> ChannelSelectItems(const std::vector<std::string>& names);

// Select channels (a multichannel file): "Channel #1" to "Channel #n", one
// for every channel of the file (none for a count below 1).
std::vector<std::string> FileChannelSelectItems(int channelCount);

// The item a list of itemCount items opens with: selection, clamped to the
// list; -1 for an empty list.
int ClampChannelSelection(int selection, int itemCount);

}  // namespace vocomet
