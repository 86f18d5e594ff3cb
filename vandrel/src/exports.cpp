#include "vandrel.h"

extern "C" const char* get_version(void) {
    return "1.02.000";
}
