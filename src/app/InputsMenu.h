#pragma once

#include <functional>

class QMenu;
class QWidget;
class TCrossbar;
class IV4l2Inputs;

// The inputs of an analogue capture card in the video settings menu: the radio submenu
// "Entrées Vidéo" (the tuner, else the first input, checked and routed when the menu is
// built), and the dialogs "Crossbar Vidéo...", "Tuner TV..." and "TV Audio...".
namespace inputs {

// Adds the separator and "Entrées Vidéo" with the input the user chose last (`chosen`, when
// it is one of the card's) checked and routed, else the tuner, else the first input; picked(k)
// runs when input k is picked. False when an input of the list has no name (an internal error
// the caller reports).
bool AddInputsMenu(QMenu& menu, TCrossbar& crossbar, int chosen, std::function<void(int)> picked);

// The list of inputs; the input chosen, or -1 when dismissed.
int ShowCrossbarDialog(QWidget* parent, TCrossbar& crossbar);
// The tuner's frequency (in MHz) and its signal.
void ShowTunerDialog(QWidget* parent, IV4l2Inputs& device, unsigned tuner);
// The tuner's sound: mono, stereo, first or second language.
void ShowTvAudioDialog(QWidget* parent, IV4l2Inputs& device, unsigned tuner);

} // namespace inputs
