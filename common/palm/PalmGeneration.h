// PalmGeneration: the generations of Palm Desktop address database, as the
// facade and its entries name them.
#pragma once

#include <cstdint>

// A 32-bit code. 1 to 3 name a database and are also the kind of a
// PalmEntry; the facade's loaded generation may be 0 (nothing loaded) or 255
// (the last load failed) besides.
enum PalmGeneration : int32_t {
    kGenUnknown = 0,   // nothing expected / nothing loaded
    kGenClassic = 1,   // classic address.dat
    kGenExtended = 2,  // extended "PalmSG Database" address.dat
    kGenDesktop6 = 3,  // Desktop 6 address.mdb
    kGenFailed = 255,  // loaded generation only: the last load failed
};
