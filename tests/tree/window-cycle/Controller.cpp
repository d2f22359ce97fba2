#include "Controller.h"

#include "CaptureForm.h"
