#include "repair/RestoreScript.h"

#include "repair/RepairTexts.h"
#include "repair/SqlText.h"

std::string Q(const std::string& text) { return QuotedLiteral(text); }

std::string BuildRestoreScript(const TInstallPaths& paths, const std::string& programFolder) {
  const std::string options = "clientlib=" + programFolder + ClientLibraryName + ";Password=" +
                              texts::DatabasePassword + "; User=" + texts::DatabaseUser + "; C; REP; O;";
  const char CR = '\r';
  std::string script;
  script += std::string("execute scriptblock") + CR;
  script += std::string("   as") + CR;
  script += std::string("   begin") + CR;
  script += std::string("       cbb = ") + "'" + "execute scriptblock (LogMessage variant)" + CR;
  script += std::string("         as") + CR;
  script += std::string("         begin") + CR;
  script += std::string("           sb_progress(LogMessage);") + CR;
  script += std::string("         end") + "'" + ";" + CR;
  script += "      sb_RestoreDatabase(" + Q(paths.Backup) + "," + Q(paths.Database) + ", " + Q(options) + ",cbb);" + CR;
  script += "    end";
  return script;
}
