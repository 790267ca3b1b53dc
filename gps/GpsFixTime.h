// The fix's date and time as the time-bearing sentences update them.
#pragma once

#include "gps/GpsFix.h"
#include "gps/NmeaFields.h"

namespace tarvik {

// Sets hour, minute, second and fraction; an hour smaller than the one on
// record means midnight has passed, so the day of month moves on by one.
void SetFixTimeOfDay(GpsFix& fix, const NmeaTimeOfDay& time);
// Sets day, month and year.
void SetFixDate(GpsFix& fix, const NmeaDate& date);
// A year is on record.
bool HasFixYear(const GpsFix& fix);
// The fix time (UTC seconds plus fraction) from the broken-down date and
// time, which is normalised on the way (weekday, day of year, day overflow).
// The previous fix time keeps the last different value.
void ComputeFixTime(GpsFix& fix);

}  // namespace tarvik
