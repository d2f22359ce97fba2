#pragma once

#include "V4l2Inputs.h"

#include <QString>
#include <memory>
#include <vector>

// One step of a path to the capture card's picture input. On V4L2 a card has one switch: each
// input is a path of one step, whose related audio is the first audio input of its set.
struct TCrRouting {
    int32_t InputIndex = 0;
    int32_t OutputIndex = 0;
    int32_t RelatedInputIndex = -1;
    int32_t RelatedOutputIndex = -1;
    int32_t InputConnector = 0;
    int32_t OutputConnector = 0;
    int32_t Depth = 0;
};
using TRouteArray = std::vector<TCrRouting>;

// The inputs a user can choose on a capture card, in the card's order; the position of an
// input in the list is its number for the menu and for "Video Input Select".
class TCrossbar {
public:
    // The inputs of the card; empty when it has none.
    static std::unique_ptr<TCrossbar> Create(std::unique_ptr<IV4l2Inputs> device);

    int InputCount() const { return int(m_paths.size()); }
    bool InputConnectorType(int index, int32_t& type) const;
    bool InputName(int index, QString& name) const;
    // Routes input k (and its sound, best effort); k is stored as current whatever happens.
    bool SelectInput(int index);
    int current() const { return m_current; }
    IV4l2Inputs* device() const { return m_device.get(); }
    // The card's tuner input, if it has one.
    const TV4l2Input* tunerInput() const;

    // The connector type an input's kind and name tell; 0 when they tell nothing.
    static int32_t ConnectorOf(const TV4l2Input& input);
    // "Video Tuner", "Video Composite" … or "Inconnu".
    static QString ConnectorName(int32_t type);

private:
    std::unique_ptr<IV4l2Inputs> m_device;
    std::vector<TV4l2Input> m_inputs;
    std::vector<TRouteArray> m_paths;
    int m_current = 0;
};
