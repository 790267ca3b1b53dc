// The decoders of the recognised sentence types. Each reads and checks all of
// its fields before it changes anything: on a malformed field it returns
// false and leaves the fix as it was.
#pragma once

#include "gps/GpsFix.h"
#include "gps/NmeaSentence.h"

namespace tarvik {

bool DecodeRmc(const NmeaSentence& sentence, GpsFix& fix);
bool DecodeGga(const NmeaSentence& sentence, GpsFix& fix);
bool DecodeGll(const NmeaSentence& sentence, GpsFix& fix);
bool DecodeGsa(const NmeaSentence& sentence, GpsFix& fix);
bool DecodeGsv(const NmeaSentence& sentence, GpsFix& fix);
bool DecodeZda(const NmeaSentence& sentence, GpsFix& fix);
bool DecodePgrme(const NmeaSentence& sentence, GpsFix& fix);

}  // namespace tarvik
