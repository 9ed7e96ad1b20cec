// The kept readings as CSV: serial,id,time,time_utc,radiation,period.
#pragma once

#include <ostream>

#include "keeper/reading_store.h"

namespace keeper {

void WriteCsv(HistoryCursor& cursor, std::ostream& out);

}  // namespace keeper
