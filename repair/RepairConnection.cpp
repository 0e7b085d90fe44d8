#include "repair/RepairConnection.h"

#include "db/DbConnection.h"
#include "repair/RepairTexts.h"
#include "repair/RestoreScript.h"

void PointConnectionAt(TDbConnection& connection, const std::string& programFolder, const std::string& database) {
  connection.SetProviderName("Firebird");
  connection.ProviderOptions().SetValue("ClientLibrary", programFolder + ClientLibraryName);
  connection.ProviderOptions().SetValue("UseUnicode", "True");
  connection.SetDatabase(database);
  connection.SetUsername(texts::DatabaseUser);
  connection.SetPassword(texts::DatabasePassword);
}
