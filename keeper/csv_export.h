// The kept readings as CSV: serial,id,time,time_utc,radiation,period.
#pragma once

#include <ostream>

#include "keeper/reading_store.h"

namespace keeper {

void WriteCsvHeader(std::ostream& out);
// The header, then a line for each reading.
void WriteCsv(HistoryCursor& cursor, std::ostream& out);

}  // namespace keeper
