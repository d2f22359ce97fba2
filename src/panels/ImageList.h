#pragma once

#include <QIcon>

// The program's own pictures, by the indexes the actions and buttons use. Each one is an SVG
// drawing of the program's resources, sharp at any size; when the user asks for the desktop's
// icon theme, the theme's picture of the same meaning is shown instead where it has one.
namespace ImageList {

enum Index : int {
    imGrabImageByImage = 3,
    imGrab = 6,
    imCapture = 14,
    imProgram = 20,
    imStopCapture = 28,
    imStopProgram = 30,
    imCaptureAudio = 43,
    // Pictures of the other actions.
    imFullScreen = 1,
    imPanelOptions = 2,
    imPanelFolders = 4,
    imPanelProgram = 5,
    imPanelGrab = 7,
    imPanelInlay = 8,
    imQuit = 9,
    imPanelAbout = 10,
    imCut = 11,
    imJpeg = 12,
    imBmp = 13,
    imSwap = 15,
    imNextPanel = 16,
    imPanelHelp = 17,
    imReduce = 18,
    imPanelSources = 19,
    imPlay = 21,
    imStop = 22,
    imForward = 23,
    imFastForward = 24,
    imBackward = 25,
    imRewind = 26,
    imVertFlip = 27,
    imDatorix = 29,
    imFolder = 31,
    imVolumeUp = 32,
    imVolumeDown = 33,
    imSliders = 34,
    imHorzFlip = 35,
    imShortcuts = 36,
    imFreeze = 37,
    imInlay = 38,
    imLock = 39,
    imPanelList = 40,
    imMute = 41,
    imSound = 42,
    imPause = 44,
    imIntervalometer = 45,
    imScript = 46,
    imNoVideo = 47,
    kCount = 48
};

QIcon icon(int index); // an empty icon for -1 or an unknown index

// The resource file of the program's own drawing of `index` (empty for an unknown index),
// and the freedesktop name the theme is asked for (empty when there is none).
QString drawingPath(int index);
QString themeName(int index);

// The desktop's icon theme instead of the program's drawings (off by default). The icons
// already handed out follow at once: every widget is repainted.
void setUseDesktopTheme(bool on);
bool useDesktopTheme();

} // namespace ImageList
