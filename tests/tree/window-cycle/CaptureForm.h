#pragma once
// A window whose controller includes it back.
#include "Controller.h"
