#include "StallWatch.h"

#include <gtest/gtest.h>

using State = TStallWatch::State;

// Pictures that stop for longer than the limit are a stall, whose time counts as lost from
// the part's start on; a deck that stands sends nothing on purpose and is no stall; pictures
// coming again end the stall and keep the time lost.
TEST(StallWatch, StallsStandingDecksAndLostTime) {
    TStallWatch w;
    quint64 frames = 0;
    qint64 t = 0;
    auto tick = [&](bool moving, bool standing = false, bool watching = true) {
        t += 300;
        if (moving)
            frames += 7;
        return w.Tick(t, frames, watching, standing);
    };
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(tick(true));
    w.ResetLost(t);
    // Still for less than the limit: nothing yet.
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(tick(false));
    EXPECT_EQ(w.state(), State::Flowing);
    EXPECT_TRUE(tick(false));
    EXPECT_EQ(w.state(), State::Stalled);
    EXPECT_EQ(w.lostMs(t), 3000);
    tick(false);
    EXPECT_EQ(w.stalledMs(t), 3300);
    EXPECT_TRUE(tick(true));
    EXPECT_EQ(w.state(), State::Flowing);
    EXPECT_EQ(w.lostMs(t), 3600);

    // The deck stopped: standing, for as long as it stands, and nothing is lost.
    EXPECT_TRUE(tick(false, true));
    EXPECT_EQ(w.state(), State::Standing);
    for (int i = 0; i < 30; ++i)
        EXPECT_FALSE(tick(false, true));
    EXPECT_EQ(w.lostMs(t), 3600);
    // Played again: pictures flow; a deck said to play that sends nothing stalls.
    EXPECT_TRUE(tick(true));
    for (int i = 0; i < 9; ++i)
        tick(false);
    EXPECT_TRUE(tick(false));
    EXPECT_EQ(w.state(), State::Stalled);

    // No source watched (another source chosen, the graph stopped): no stall, the time
    // lost up to then stays until the next part.
    EXPECT_TRUE(tick(false, false, false));
    EXPECT_EQ(w.state(), State::Flowing);
    const qint64 lost = w.lostMs(t);
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(tick(false, false, false));
    EXPECT_EQ(w.lostMs(t), lost);
    w.ResetLost(t);
    EXPECT_EQ(w.lostMs(t), 0);

    // A stall that began before the part counts from the part's start.
    for (int i = 0; i < 12; ++i)
        tick(false);
    ASSERT_EQ(w.state(), State::Stalled);
    w.ResetLost(t);
    tick(false);
    EXPECT_EQ(w.lostMs(t), 300);
}
