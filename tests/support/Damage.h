// Physical damage done to a test database made by the test, as a disk, a
// controller or a crash would do it: the database must be closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Shortens the stored length of one record on the first data page of the
// table: validation reports a record-level error and gfix's mend removes the
// record, while a count before the mend still sees it.
void DamageARecordOf(const std::string& database, const std::string& table);

// The page types of the on-disk format that the damage aims at.
enum class TPageKind : unsigned char { Pointer = 4, Data = 5, IndexRoot = 6, IndexNode = 7 };

// The numbers of the table's pages of one kind, in file order.
std::vector<std::uint32_t> PagesOf(const std::string& database, const std::string& table, TPageKind kind);

// Garbles the page past its 16-byte header with bytes drawn from the seed
// (the same bytes for the same seed on every machine), or zeroes it whole.
void GarblePage(const std::string& database, std::uint32_t page, unsigned seed);
void ZeroPage(const std::string& database, std::uint32_t page);

// Cuts the last pages off the file, as a copy that stopped short.
void CutPagesOff(const std::string& database, std::uint32_t pages);

// A lost write on an index: the statement runs and is committed, then every
// index page of the table it changed is put back as it was before, as if the
// disk had never written them. Inserting the same key again then passes a
// unique index, which cannot see the first one.
void LoseTheIndexWritesOf(const std::string& database, const std::string& table, const std::string& statement);
