#include "app/CommandEnabling.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <tuple>

namespace vocomet {
namespace {

using C = ViewCommand;

std::set<C> EnabledIn(const ViewCommandState& s) {
    std::set<C> on;
    for (int i = 0; i < kViewCommandCount; ++i)
        if (UpdateViewCommand(static_cast<C>(i), s).enabled)
            on.insert(static_cast<C>(i));
    return on;
}

std::string TextOf(C c, const ViewCommandState& s) { return UpdateViewCommand(c, s).text.value_or("<none>"); }

// A document with two channels loaded from a file.
ViewCommandState Loaded() {
    ViewCommandState s;
    s.dataLoaded = true;
    s.neverSaved = false;
    s.channelCount = 2;
    return s;
}

TEST(CommandEnabling, ANewEmptyDocumentOffersOnlyRecordPlayAndTheTwoOptions) {
    ViewCommandState s;  // as constructed
    const std::set<C> base{C::RecordPlayRecord, C::RecordPlayPlayAll, C::OptionsRecordPlay, C::OptionsCalibration};
    EXPECT_EQ(EnabledIn(s), base);
    EXPECT_EQ(TextOf(C::ChannelsSetReferenceForClickedChannel, s), "No channel is clicked");
    EXPECT_EQ(TextOf(C::AnalysisAverageSelectedChannel, s), "No channel is clicked");
    EXPECT_EQ(TextOf(C::EggSetChannel, s), "Assigned Channel for EGG: None...");
    EXPECT_EQ(TextOf(C::LabelsMode, s), "Enable Label Entry Mode");
    EXPECT_EQ(TextOf(C::OptionsRecordPlay, s), "Record/Play...");

    s.clipboardFull = true;
    std::set<C> withPaste = base;
    withPaste.insert(C::EditPaste);
    EXPECT_EQ(EnabledIn(s), withPaste);

    // Five commands carry a text of their own; the others none.
    int texts = 0;
    for (int i = 0; i < kViewCommandCount; ++i)
        texts += UpdateViewCommand(static_cast<C>(i), s).text ? 1 : 0;
    EXPECT_EQ(texts, 5);
}

TEST(CommandEnabling, PasteNeedsTheClipboardAndOnALoadedDocumentAPlace) {
    const struct {
        bool clipboard, data, marker, selection, enabled;
    } cases[] = {
        {false, false, false, false, false}, {true, false, false, false, true},
        {false, true, true, true, false},    {true, true, false, false, false},
        {true, true, true, false, true},     {true, true, false, true, true},
    };
    for (const auto& c : cases) {
        ViewCommandState s = c.data ? Loaded() : ViewCommandState{};
        s.clipboardFull = c.clipboard;
        s.markerShown = c.marker;
        s.selectionShown = c.selection;
        EXPECT_EQ(UpdateViewCommand(C::EditPaste, s).enabled, c.enabled)
            << c.clipboard << c.data << c.marker << c.selection;
    }
}

TEST(CommandEnabling, ZoomRules) {
    const struct {
        const char* name;
        bool scroll, marker, selection;
        std::set<C> zoom;
    } cases[] = {
        {"data only", false, false, false, {C::ZoomUnzoom, C::ZoomIn, C::ZoomHome}},
        {"can scroll", true, false, false, {C::ZoomUnzoom, C::ZoomIn, C::ZoomHome, C::ZoomOut}},
        {"marker", false, true, false, {C::ZoomUnzoom, C::ZoomIn, C::ZoomHome, C::ZoomFromCursorForDuration}},
        {"selection", false, false, true, {C::ZoomUnzoom, C::ZoomIn, C::ZoomHome, C::ZoomSelection}},
    };
    const std::set<C> allZoom{C::ZoomUnzoom, C::ZoomIn, C::ZoomOut, C::ZoomSelection, C::ZoomFromCursorForDuration,
                              C::ZoomHome};
    for (const auto& c : cases) {
        ViewCommandState s = Loaded();
        s.canScroll = c.scroll;
        s.markerShown = c.marker;
        s.selectionShown = c.selection;
        std::set<C> on;
        for (C z : allZoom)
            if (UpdateViewCommand(z, s).enabled)
                on.insert(z);
        EXPECT_EQ(on, c.zoom) << c.name;
    }
    // Without data nothing zooms, whatever the flags say.
    ViewCommandState empty;
    empty.canScroll = empty.markerShown = empty.selectionShown = true;
    for (C z : allZoom)
        EXPECT_FALSE(UpdateViewCommand(z, empty).enabled);
}

TEST(CommandEnabling, LogEntriesNeedTheLogWindowAndEggEntriesTheCycles) {
    const std::set<C> logEntries{C::LogEnterAtMarker,    C::LogEnterDuration,     C::LogEnterDataSelection,
                                 C::LogEnterEggAtMarker, C::LogEnterEggSelection, C::LogEnterEggAll};
    const struct {
        const char* name;
        bool log, marker, selection;
        int egg;
        bool cycles;
        std::set<C> on;
    } cases[] = {
        {"log closed", false, true, true, 1, true, {}},
        {"marker", true, true, false, -1, false, {C::LogEnterAtMarker}},
        {"selection", true, false, true, -1, false, {C::LogEnterDuration, C::LogEnterDataSelection}},
        {"egg without cycles", true, true, false, 1, false, {C::LogEnterAtMarker}},
        {"egg at marker", true, true, false, 1, true, {C::LogEnterAtMarker, C::LogEnterEggAtMarker, C::LogEnterEggAll}},
        {"egg selection",
         true,
         false,
         true,
         1,
         true,
         {C::LogEnterDuration, C::LogEnterDataSelection, C::LogEnterEggSelection, C::LogEnterEggAll}},
        {"egg index past the channels", true, true, false, 2, true, {C::LogEnterAtMarker}},
    };
    for (const auto& c : cases) {
        ViewCommandState s = Loaded();
        s.logOpen = c.log;
        s.markerShown = c.marker;
        s.selectionShown = c.selection;
        s.eggChannel = c.egg;
        s.eggCyclesValid = c.cycles;
        std::set<C> on;
        for (C e : logEntries)
            if (UpdateViewCommand(e, s).enabled)
                on.insert(e);
        EXPECT_EQ(on, c.on) << c.name;
    }
}

TEST(CommandEnabling, AnEggChannelCountsOnlyInsideTheChannels) {
    for (int egg : {-1, -2, 2, 19}) {
        ViewCommandState s = Loaded();
        s.selectionShown = true;
        s.eggChannel = egg;
        s.eggChannelName = "Stale";
        EXPECT_FALSE(UpdateViewCommand(C::EggAnalysisAll, s).enabled) << egg;
        EXPECT_FALSE(UpdateViewCommand(C::EggAnalysisSelection, s).enabled) << egg;
        EXPECT_EQ(TextOf(C::EggSetChannel, s), "Assigned Channel for EGG: None...") << egg;
        EXPECT_TRUE(UpdateViewCommand(C::EggSetChannel, s).enabled);
        EXPECT_TRUE(UpdateViewCommand(C::EggOption, s).enabled);
    }
    ViewCommandState s = Loaded();
    s.eggChannel = 1;
    s.eggChannelName = "EGG";
    EXPECT_TRUE(UpdateViewCommand(C::EggAnalysisAll, s).enabled);
    EXPECT_FALSE(UpdateViewCommand(C::EggAnalysisSelection, s).enabled);
    EXPECT_EQ(TextOf(C::EggSetChannel, s), "Assigned Channel for EGG: EGG...");
}

TEST(CommandEnabling, RecordFollowsNeverSaved) {
    // New document, after a file was opened or saved, after a finished
    // recording became the document.
    for (const auto& [neverSaved, data, on] : {std::tuple{true, false, true}, std::tuple{false, true, false},
                                               std::tuple{true, true, true}}) {
        ViewCommandState s;
        s.neverSaved = neverSaved;
        s.dataLoaded = data;
        s.channelCount = data ? 1 : 0;
        EXPECT_EQ(UpdateViewCommand(C::RecordPlayRecord, s).enabled, on) << neverSaved << data;
        EXPECT_TRUE(UpdateViewCommand(C::RecordPlayPlayAll, s).enabled);
    }
}

TEST(CommandEnabling, ClickedChannelNamesGoInVerbatim) {
    ViewCommandState s = Loaded();
    s.clickedChannel = 1;
    s.clickedChannelName = "  EGG \"2\" ";
    s.eggChannel = 1;
    s.eggChannelName = s.clickedChannelName;
    EXPECT_TRUE(UpdateViewCommand(C::ChannelsSetReferenceForClickedChannel, s).enabled);
    EXPECT_EQ(TextOf(C::ChannelsSetReferenceForClickedChannel, s), "Set Reference only for:   EGG \"2\" ");
    EXPECT_EQ(TextOf(C::EggSetChannel, s), "Assigned Channel for EGG:   EGG \"2\" ...");
    // Averaging one channel also needs the document's selection.
    EXPECT_FALSE(UpdateViewCommand(C::AnalysisAverageSelectedChannel, s).enabled);
    EXPECT_EQ(TextOf(C::AnalysisAverageSelectedChannel, s), "No channel is clicked");
    s.documentSelection = true;
    EXPECT_TRUE(UpdateViewCommand(C::AnalysisAverageSelectedChannel, s).enabled);
    EXPECT_EQ(TextOf(C::AnalysisAverageSelectedChannel, s), "Average Channel:   EGG \"2\" ");
    EXPECT_TRUE(UpdateViewCommand(C::AnalysisAverageAllChannels, s).enabled);

    // A click index the document no longer has names nothing.
    s.clickedChannel = 2;
    EXPECT_FALSE(UpdateViewCommand(C::ChannelsSetReferenceForClickedChannel, s).enabled);
    EXPECT_EQ(TextOf(C::ChannelsSetReferenceForClickedChannel, s), "No channel is clicked");
}

TEST(CommandEnabling, UndoFollowsARealCopyEvenWhenACutTookEverything) {
    ViewCommandState s = Loaded();
    EXPECT_FALSE(UpdateViewCommand(C::EditUndo, s).enabled);
    s.undoAvailable = true;
    EXPECT_TRUE(UpdateViewCommand(C::EditUndo, s).enabled);
    s.dataLoaded = false;  // a Cut of the whole recording
    s.channelCount = 0;
    EXPECT_TRUE(UpdateViewCommand(C::EditUndo, s).enabled);
}

TEST(CommandEnabling, LabelModeAndRecordPlayTextsFollowTheState) {
    ViewCommandState s = Loaded();
    s.labelMode = true;
    s.audioBoxPresent = true;
    EXPECT_EQ(TextOf(C::LabelsMode, s), "Disable Label Entry Mode");
    EXPECT_EQ(TextOf(C::OptionsRecordPlay, s), "Sonetta Play...");
    EXPECT_TRUE(UpdateViewCommand(C::LabelsMode, s).enabled);
}

}  // namespace
}  // namespace vocomet
