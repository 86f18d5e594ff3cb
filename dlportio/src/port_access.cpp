// Stand-in back end until the simulated board lands: keeps the level written
// and reads the status register as an idle port with no board (data input high).
#include "dlportio.h"

namespace {
unsigned char g_data_level = 0;
}

extern "C" void DlPortWritePortUchar(unsigned long /*Port*/, unsigned char Value) {
    g_data_level = Value;
}

extern "C" unsigned char DlPortReadPortUchar(unsigned long /*Port*/) {
    return 0x7F;
}
