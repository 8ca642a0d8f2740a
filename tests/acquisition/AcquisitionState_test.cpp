#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "acquisition/AcquisitionState.h"
#include "acquisition/CSoundIn.h"
#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSB2Thread.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

TEST(AcquisitionState, NoHardwareMeansSoundCard) {
    AcquisitionState state;
    EXPECT_EQ(1, state.playRoute);
    EXPECT_EQ(1023, state.outputGain);
    EXPECT_EQ(0, state.recording.load());
    EXPECT_EQ(nullptr, state.soundOut);
    EXPECT_EQ(nullptr, state.soundIn);
    EXPECT_EQ(nullptr, state.recordPlayFrame);

    CUSB2Hardware usb2;
    CUSBHardware usb;
    DetectHardware(state, usb2, usb);
    EXPECT_EQ(-1, usb2.GetChannelCode());
    EXPECT_EQ(0, state.audioBoxPresent);
    EXPECT_EQ(0, state.rendalPresent);
    EXPECT_EQ(0, state.hardwareChannelCount);
    EXPECT_EQ(AcquisitionState::Device::SoundCard, state.ChooseDevice());
    state.rendalPresent = 1;
    EXPECT_EQ(AcquisitionState::Device::Rendal, state.ChooseDevice());
    state.audioBoxPresent = 1;
    EXPECT_EQ(AcquisitionState::Device::AudioBox, state.ChooseDevice());
}

class RecordingView : public AcquisitionView {
public:
    void SetViewTimer(int, int) override {}
    void StoreLatestBlock(const std::int32_t*, std::size_t) override {}
    void ClearPlayCursorRunning() override { playEnded.store(true); }
    int GetPlayBlockSize() const override { return 8192; }
    std::atomic<bool> playEnded{false};
};

TEST(AcquisitionWorkers, PlayWithoutDeviceEndsAtOnce) {
    RecordingView view;
    CUSBThread worker;
    EXPECT_EQ(1, worker.stopFlag.load());
    EXPECT_TRUE(worker.IsMono());
    EXPECT_FALSE(worker.PostThreadMessage(CUSBThread::kPlayMemory, 0, &view));  // not started
    worker.Start();
    ASSERT_TRUE(worker.PostThreadMessage(CUSBThread::kPlayMemory, 0, &view));
    EXPECT_TRUE(worker.Stop(std::chrono::seconds(5)));
    EXPECT_TRUE(view.playEnded.load());

    RecordingView view2;
    CUSB2Thread worker2;
    worker2.Start();
    ASSERT_TRUE(worker2.PostThreadMessage(CUSB2Thread::kPlay, 0, &view2));
    ASSERT_TRUE(worker2.PostThreadMessage(CUSB2Thread::kQuit));
    EXPECT_TRUE(worker2.Stop(std::chrono::seconds(5)));
    EXPECT_TRUE(view2.playEnded.load());
}

TEST(AcquisitionSoundCard, InputWithoutDevice) {
    test::ScriptedPrompts prompts;
    CSoundIn in;
    EXPECT_EQ(11025, in.GetSampleRate());
    EXPECT_EQ(4096, in.GetBlockSize());
    in.SetupRecording(prompts, test::FreshTempDir() + "/rec.raw", 44100, 16, nullptr);
    EXPECT_EQ(16384, in.GetBlockSize());
    EXPECT_TRUE(in.GetRecordFile().IsOpen());
    EXPECT_NE(0, in.Start(prompts));
    EXPECT_EQ("No Sound Device", prompts.LastMessage());

    EXPECT_THROW(in.SetupRecording(prompts, test::FreshTempDir() + "/no/dir/rec.raw", 22050, 16, nullptr),
                 platform::FileException);
    EXPECT_EQ("Failure to create a temp file to record.", prompts.LastMessage());

    for (auto [rate, size] : {std::pair{16000, 8192}, {22050, 8192}, {48000, 16384}, {11025, 4096}, {8000, 4096}})
        EXPECT_EQ(size, CSoundIn::BlockSizeForRate(rate)) << rate;
}

}  // namespace
}  // namespace vocomet
