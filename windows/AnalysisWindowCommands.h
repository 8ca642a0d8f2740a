#pragma once
// The commands of the shared menus (File > Print..., Print Preview, Save As
// bmp...; the Log menu's entries) that an analysis window carries while it
// is the active window. The menus ask the active MDI window for this
// interface when no document window is active.
// UI thread only.

#include <string_view>

class QMdiArea;

namespace vocomet {

class AnalysisWindowCommands {
public:
    virtual ~AnalysisWindowCommands() = default;
    virtual void OnFilePrint() = 0;
    virtual void OnFilePrintPreview() = 0;
    virtual void OnFileSaveAsBmp() = 0;
    // The Log menu's entry commands by their menu text ("Enter at Marker",
    // ...): whether the window has one, whether it is enabled now, and
    // running it.
    virtual bool HasLogCommand(std::string_view /*text*/) const { return false; }
    virtual bool CanLogCommand(std::string_view /*text*/) const { return false; }
    virtual void OnLogCommand(std::string_view /*text*/) {}
};

// The active MDI window's commands (the sub-window or the widget it holds),
// or null when the active window is not an analysis window.
AnalysisWindowCommands* ActiveAnalysisWindow(const QMdiArea* area);

}  // namespace vocomet
