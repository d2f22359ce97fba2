#include "CamForm.h"
#include "DateTimeFormatQt.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the modes sent and answers the last one when read back.
class FakeTransport : public IDvTransport {
public:
    bool setMode(Mode m) override {
        sent.push_back(m);
        current = m;
        return true;
    }
    Mode mode() const override { return current; }
    Timecode timecode() const override { return {}; }
    bool isVcr() const override { return true; }
    bool isCamera() const override { return false; }
    std::vector<int> sent;
    Mode current = ED_MODE_STOP;
};

} // namespace

TEST(CamForm, TransportBarSendsTheModes) {
    TcamForm window;
    Tnav_captureframe& bar = *window.nav_captureframe1;
    // Without a transport every command does nothing.
    bar.Play();
    bar.FastForward();
    bar.PlayPause();
    auto deck = std::make_shared<FakeTransport>();
    bar.SetTransport(deck);
    // From stop the fast keys wind; while playing or paused they search.
    bar.FastForward();
    bar.FastReverse();
    deck->current = IDvTransport::ED_MODE_STOP;
    bar.FastReverse();
    bar.Play();
    bar.FastForward();
    bar.Pause();
    bar.FastReverse();
    bar.SlowForward();
    bar.SlowReverse();
    bar.Stop();
    EXPECT_EQ(deck->sent,
              (std::vector<int>{4300, 5031, 4301, 4296, 5029, 4298, 5031, 5030, 5032, 4297}));
    // The play/pause switch on a stopped deck plays; on a playing one it pauses.
    deck->sent.clear();
    bar.cam_PlayPause->trigger();
    EXPECT_TRUE(bar.cam_PlayPause->isChecked());
    bar.cam_PlayPause->trigger();
    EXPECT_FALSE(bar.cam_PlayPause->isChecked());
    deck->current = IDvTransport::ED_MODE_PLAY_SLOWEST_FWD;
    bar.cam_PlayPause->trigger();
    EXPECT_EQ(deck->sent, (std::vector<int>{4296, 4298, 4296}));
    // The bar's own keys: fast forward on Ctrl+Up, the opposite of the main window's.
    EXPECT_EQ(bar.cam_AvanceRapide->shortcut(), QKeySequence("Ctrl+Up"));
    EXPECT_EQ(bar.cam_PlayPause->shortcut(), QKeySequence("Ins"));

    // Closing the window with "Stop en quittant" ticked stops the tape.
    auto closing = std::make_shared<FakeTransport>();
    {
        TcamForm other;
        other.nav_captureframe1->SetTransport(closing);
        other.cbStopQuittant->setChecked(true);
    }
    EXPECT_EQ(closing->sent, (std::vector<int>{4297}));
}

TEST(CamForm, TimecodeAndRecordingDate) {
    IDvTransport::Timecode tc;
    tc.hours = 0;
    tc.minutes = 12;
    tc.seconds = 34;
    tc.frames = 56;
    EXPECT_EQ(TcamForm::TimecodeText(tc), "0:12:34:56");
    tc = {1, 2, 3, 4, true};
    EXPECT_EQ(TcamForm::TimecodeText(tc), "1:02:03:04");
    TcamForm window;
    EXPECT_EQ(window.TimecodePanel->text(), "0:00:00:00");
    window.ShowTimecode(tc);
    EXPECT_EQ(window.TimecodePanel->text(), "1:02:03:04");
    const double date = *vrdate::encodeDateTime(2024, 5, 1, 13, 0, 15, 0);
    window.ShowRecordingDate(date);
    EXPECT_EQ(window.Label1->text(), vrdate::qt::formatDateTime("dddd ddddd tt", date));
    EXPECT_TRUE(window.Label1->text().startsWith("mercredi"));
    window.ShowRecordingDate(0);
    EXPECT_TRUE(window.Label1->text().isEmpty());

    // What the tape does is said, not only shown by a moving timecode.
    EXPECT_TRUE(window.ModePanel->text().isEmpty());
    window.ShowMode(IDvTransport::ED_MODE_PLAY);
    EXPECT_EQ(window.ModePanel->text(), "▶ Lecture");
    window.ShowMode(IDvTransport::ED_MODE_FREEZE);
    EXPECT_EQ(window.ModePanel->text(), "❚❚ Pause");
    window.ShowMode(IDvTransport::ED_MODE_REW);
    EXPECT_EQ(window.ModePanel->text(), "◀◀ Retour rapide");
    window.ShowMode(IDvTransport::Mode(0));
    EXPECT_TRUE(window.ModePanel->text().isEmpty());
}
