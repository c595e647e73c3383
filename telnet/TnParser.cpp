#include "TnParser.h"

const char* const TnSubOptionTooLongText = "SubOption string too long. Truncated.";
