// vyr-count-rows HEX_OF_DATABASE_PATH: the rows of every user table of the
// database, counted through the client library beside this program, as the
// lines RowCountLines makes; an error as one RowCountErrorLine and status 1.
// After an error, or a table it could not read, the program ends at once
// without detaching: on a damaged database the detach may never return.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "db/DbConnection.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Process.h"
#include "repair/RowCountChild.h"

int main(int argc, char** argv) {
  platform::SelectUtf8Locale();
  platform::UseEmptyStandardInput();
  if (argc != 2) {
    std::printf("%s\n", RowCountErrorLine("usage: vyr-count-rows HEX_OF_DATABASE_PATH").c_str());
    return 2;
  }
  auto connection = std::make_unique<TDbConnection>();
  try {
    const TRowCounts counts = CountRowsThrough(*connection, platform::ProgramFolder(), TextOfHex(argv[1]));
    bool unreadable = false;
    for (const auto& [table, rows] : counts) unreadable = unreadable || rows == UnreadableRows;
    for (const auto& line : RowCountLines(counts)) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (unreadable) std::_Exit(0);
    connection->Close();
    return 0;
  } catch (const std::exception& error) {
    std::printf("%s\n", RowCountErrorLine(error.what()).c_str());
    std::fflush(stdout);
    std::_Exit(1);
  }
}
