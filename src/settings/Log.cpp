#include "Log.h"

Q_LOGGING_CATEGORY(lcVidorra, "vidorra")
