#include "SceneRule.h"
#include "DVClip.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dv;

namespace {

struct Change {
    uint32_t from, to;
    bool operator==(const Change&) const = default;
};

// Runs the clip's frames through a fresh rule and lists the scene changes (first frame of
// the ended scene, frame that opens the next).
std::vector<Change> RunClip(TSceneRule& rule, const ClipSpec& spec) {
    std::vector<Change> out;
    auto frame = MakeHandBuiltFrame(spec.pal, {});
    for (int n = 0; n < spec.frames; ++n) {
        PatchFrame(frame, ClipPacksAt(spec, n));
        const auto r = rule.ProcessFrame(frame);
        if (r.sceneChange)
            out.push_back({r.endedSceneStart.FrameNumber, r.opening.FrameNumber});
    }
    return out;
}

std::vector<Change> RunClip(const ClipSpec& spec) {
    TSceneRule rule;
    return RunClip(rule, spec);
}

} // namespace

TEST(SceneRule, DateJumps) {
    ClipSpec spec;
    spec.frames = 200;
    EXPECT_TRUE(RunClip(spec).empty()) << "continuous dates";

    spec.dateJumps = {{75, 2}}; // 1 s step + 2 s = 3 s between frames 74 and 75
    EXPECT_EQ(RunClip(spec), (std::vector<Change>{{1, 75}}));

    spec.dateJumps = {{60, 1}}; // 2 s between two frames is no jump
    EXPECT_TRUE(RunClip(spec).empty());

    spec.dateJumps = {{30, -60}, {150, 3600}};
    EXPECT_EQ(RunClip(spec), (std::vector<Change>{{1, 30}, {30, 150}}));
}

TEST(SceneRule, StretchWithoutDates) {
    ClipSpec spec;
    spec.frames = 200;
    spec.datelessStretches = {{100, 105}};
    EXPECT_EQ(RunClip(spec), (std::vector<Change>{{1, 100}})) << "return after 5 frames";
    spec.datelessStretches = {{100, 120}};
    EXPECT_EQ(RunClip(spec), (std::vector<Change>{{1, 100}, {100, 120}})) << "return after 20";
    spec.datelessStretches = {{100, 112}};
    EXPECT_EQ(RunClip(spec), (std::vector<Change>{{1, 100}})) << "12 frames is still no gap";
    spec.datelessStretches = {{100, 113}};
    EXPECT_EQ(RunClip(spec).size(), 2u);
}

TEST(SceneRule, FirstFrames) {
    // The first frame never reports through the both-valid branch, after creation or stop.
    TSceneRule rule;
    ClipSpec spec;
    spec.frames = 3;
    EXPECT_TRUE(RunClip(rule, spec).empty());
    rule.Reset();
    spec.startDate += 10; // ten days later
    EXPECT_TRUE(RunClip(rule, spec).empty());

    // A tape that starts without dates reports nothing at frame 0.
    TSceneRule fresh;
    spec.frames = 50;
    spec.datelessStretches = {{0, 30}};
    EXPECT_EQ(RunClip(fresh, spec), (std::vector<Change>{{1, 30}}));
}

TEST(SceneRule, RunningSceneAndRestart) {
    TSceneRule rule;
    TDVFrameInfo start, cur;
    EXPECT_FALSE(rule.RunningScene(start, cur)) << "no frame, no scene";

    ClipSpec spec;
    spec.frames = 40;
    spec.dateJumps = {{20, 100}};
    RunClip(rule, spec);
    ASSERT_TRUE(rule.RunningScene(start, cur));
    EXPECT_EQ(start.FrameNumber, 20u);
    EXPECT_EQ(cur.FrameNumber, 40u);

    // A new recording part counts from 0, and its first scene starts at frame 1.
    rule.RestartCounting();
    EXPECT_FALSE(rule.RunningScene(start, cur));
    spec.dateJumps = {{10, 100}};
    spec.startDate += 1;
    EXPECT_EQ(RunClip(rule, spec), (std::vector<Change>{{1, 10}}));
    ASSERT_TRUE(rule.RunningScene(start, cur));
    EXPECT_EQ(cur.FrameNumber, 40u);
}

TEST(SceneRule, WidescreenChangesAreReported) {
    TSceneRule rule;
    FramePacks p;
    p.displayFormat = 0;
    auto frame = MakeHandBuiltFrame(true, p);
    EXPECT_FALSE(rule.ProcessFrame(frame).widescreenChanged);
    FramePacks wide;
    wide.displayFormat = 2;
    PatchFrame(frame, wide);
    EXPECT_TRUE(rule.ProcessFrame(frame).widescreenChanged);
    EXPECT_FALSE(rule.ProcessFrame(frame).widescreenChanged);
    PatchFrame(frame, p);
    EXPECT_TRUE(rule.ProcessFrame(frame).widescreenChanged);
}
