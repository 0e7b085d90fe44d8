#include "support/FirebirdTools.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "repair/RestoreScript.h"
#include "support/TestFolder.h"
#include "tools/ConsoleTool.h"

std::string SqlLiteral(const std::string& text) { return Q(text); }

namespace {

std::string RunIsqlWith(const std::string& arguments, const std::string& scriptText) {
  TTestFolder folder("isql");
  const std::string script = folder / "script.sql";
  WriteTextFile(script, scriptText);
  std::string output;
  RunConsoleTool(IsqlPath + " -q " + arguments + " -i " + platform::QuoteArgument(script), output, nullptr, true,
                 nullptr, "");
  return output;
}

}  // namespace

std::string RunIsql(const std::string& scriptText) { return RunIsqlWith("", scriptText); }

std::string RunIsqlOn(const std::string& database, const std::string& scriptText) {
  return RunIsqlWith("-user SYSDBA " + platform::QuoteArgument(database), scriptText);
}

void CreateTestDatabase(const std::string& path) {
  const std::string output = RunIsql("create database " + SqlLiteral(path) +
                                     " user 'SYSDBA' password 'quartzfin' page_size 4096 default character set UTF8;\n"
                                     "create table T (ID integer not null primary key, NAME varchar(40));\n"
                                     "insert into T values (1, 'một');\n"
                                     "insert into T values (2, 'hai');\n"
                                     "commit;\n");
  if (!platform::FileExists(path)) throw std::runtime_error("isql-fb made no database: " + output);
}

TAttachedSession::TAttachedSession(const std::string& databasePath) {
  int input[2];
  if (::pipe(input) != 0) throw std::runtime_error("pipe failed");
  FPid = ::fork();
  if (FPid == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    ::close(input[1]);
    int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    ::dup2(quiet, STDERR_FILENO);
    ::execl(IsqlPath.c_str(), "isql-fb", "-q", databasePath.c_str(), "-user", "SYSDBA", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  FInput = input[1];
  const std::string query = "select count(*) from rdb$database;\n";
  if (::write(FInput, query.data(), query.size()) < 0) throw std::runtime_error("write failed");
  for (int tries = 0; tries < 200 && !platform::IsFileInUse(databasePath); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!platform::IsFileInUse(databasePath)) throw std::runtime_error("isql-fb did not attach");
}

TAttachedSession::~TAttachedSession() {
  ::close(FInput);
  int status = 0;
  ::waitpid(FPid, &status, 0);
}
