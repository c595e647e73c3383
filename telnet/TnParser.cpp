#include "TnParser.h"

const char* const kTnSubOptionTooLongText = "SubOption string too long. Truncated.";
