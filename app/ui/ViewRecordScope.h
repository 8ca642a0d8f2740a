#pragma once
// Record/Play > Record and the main view's road to the audio box's
// record-and-scope form.

#include <functional>

class QMainWindow;

namespace vocomet {

class CChildFrame;

// Puts "Record" first in the "Record/Play" menu (made by AddPlayCommands),
// enabled while the active document was never saved.
void AddRecordCommand(QMainWindow& mainFrame, const std::function<CChildFrame*()>& activeFrame);

}  // namespace vocomet
