#include "repair/RepairParts.h"

#include "db/DbErrors.h"
#include "tools/LeadingChars.h"

TRepairParts::TRepairParts(TRepairHost& host, const std::string& programFolder)
    : FHost(host),
      FDataStage(host, cnn, SetUpRepairStatements(cnn, Trans, udDMPB, udDMPB2, scCreateTmp, Sql), programFolder),
      FEngine(programFolder + TScriptEngineComponent::DefaultLibrary),
      FRowCounter(host, programFolder),
      FIndexRecovery(host, programFolder, &FDataStage),
      FRebuildStage(host, FEngine, programFolder, &FIndexRecovery, &FRowCounter) {
  cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
  cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
  cnn.LoginPrompt = false;
  cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { FHost.AddLog(e.Message()); };
  Trans.SetDefaultConnection(&cnn);
  FEngine.OnBlockProgress = [this](const std::string& message, bool& go) {
    ProgressLine(message);
    go = true;
  };
  FEngine.OnScriptError = [this](const std::string&, const std::string& error, bool& go) {
    FHost.AddLog("Lỗi: " + error);
    go = false;
  };
  FEngine.OnAfterStatement = [](const std::string&, bool, bool& go) { go = true; };
  FEngine.OnConnectError = [this](const std::string& error) { FHost.AddLog("Lỗi " + error); };
}

// A progress line is shown when its first 15 characters differ from the
// last one shown.
void TRepairParts::ProgressLine(const std::string& message) {
  const std::string prefix = LeadingChars(message, 15);
  if (prefix == msg2) return;
  FHost.AddLog(message);
  msg2 = prefix;
}
