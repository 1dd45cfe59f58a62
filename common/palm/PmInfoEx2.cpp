#include "common/palm/PmInfoEx2.h"

PmInfoEx2::PmInfoEx2() : License(0), Version(0), Minor(0), CodePage(0), PreSahara(0), FreeRecID(0), TableString{} { }

PmInfoEx2::~PmInfoEx2() = default;
