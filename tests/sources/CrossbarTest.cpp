#include "Crossbar.h"
#include "FakeV4l2Card.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TV4l2Input input(uint32_t index, const char* name, bool tuner = false, uint32_t audioset = 0) {
    return FakeV4l2Card::input(index, name, tuner, audioset);
}

} // namespace

TEST(Crossbar, InputsOfACardByKindAndName) {
    auto log = std::make_shared<FakeV4l2Card::Log>();
    FakeV4l2Card::Log& card = *log;
    auto crossbar = TCrossbar::Create(std::make_unique<FakeV4l2Card>(
        std::vector<TV4l2Input>{input(0, "Television", true, 0b01), input(1, "Composite1"),
                                input(2, "S-Video", false, 0b10)},
        log));
    ASSERT_NE(crossbar, nullptr);
    ASSERT_EQ(crossbar->InputCount(), 3);
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        QString name;
        ASSERT_TRUE(crossbar->InputName(i, name));
        names << name;
    }
    EXPECT_EQ(names, QStringList({"Video Tuner", "Video Composite", "Video SVideo"}));
    int32_t type = 0;
    EXPECT_TRUE(crossbar->InputConnectorType(0, type));
    EXPECT_EQ(type, 1);
    QString name;
    EXPECT_FALSE(crossbar->InputName(3, name));
    EXPECT_FALSE(crossbar->InputConnectorType(-1, type));
    ASSERT_NE(crossbar->tunerInput(), nullptr);

    // The sound that goes with an input follows it; an input without sound routes the picture.
    EXPECT_TRUE(crossbar->SelectInput(2));
    EXPECT_EQ(card.selected, std::vector<int>{2});
    EXPECT_EQ(card.audio, std::vector<int>{1});
    EXPECT_TRUE(crossbar->SelectInput(1));
    EXPECT_EQ(card.audio.size(), 1u);
    // Past the end: nothing routed, the index kept all the same; a refusal keeps it too.
    EXPECT_FALSE(crossbar->SelectInput(3));
    EXPECT_EQ(crossbar->current(), 3);
    EXPECT_EQ(card.selected.size(), 2u);
    card.refuse = true;
    EXPECT_FALSE(crossbar->SelectInput(0));
    EXPECT_EQ(crossbar->current(), 0);
}

TEST(Crossbar, ConnectorNamesAndMissingCards) {
    const struct {
        const char* name;
        int32_t type;
    } cases[] = {{"HDMI", 6},     {"SDI in", 6}, {"Component YPbPr", 5},
                 {"RGB", 4},      {"SVideo", 3}, {"Péritel", 14},
                 {"SCART 1", 14}, {"USB", 11},   {"Camera 1", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TCrossbar::ConnectorOf(input(0, c.name)), c.type) << c.name;
    EXPECT_EQ(TCrossbar::ConnectorName(0), "Inconnu");
    EXPECT_EQ(TCrossbar::ConnectorName(14), "Video Scart");
    EXPECT_EQ(TCrossbar::ConnectorName(4097), "Audio Line");
    auto grabber = TCrossbar::Create(std::make_unique<FakeV4l2Card>(
        std::vector<TV4l2Input>{input(0, "Camera 1")}, std::make_shared<FakeV4l2Card::Log>()));
    QString name;
    ASSERT_TRUE(grabber->InputName(0, name));
    EXPECT_EQ(name, "Inconnu");
    // A node that does not exist: no card, no crossbar, no message.
    EXPECT_EQ(OpenV4l2Inputs("/dev/video99"), nullptr);
    EXPECT_EQ(TCrossbar::Create(OpenV4l2Inputs("/dev/video99")), nullptr);
}
