// Physical damage done to a test database made by the test, as a disk or a
// crash would do it: the database must be closed.
#pragma once

#include <string>

// Shortens the stored length of one record on the first data page of the
// table: validation reports a record-level error and gfix's mend removes the
// record, while a count before the mend still sees it.
void DamageARecordOf(const std::string& database, const std::string& table);
