#include "db/FbConnection.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

#include "db/DpbItems.h"
#include "db/FbCommand.h"
#include "platform/Cleanup.h"
#include "platform/Exception.h"
#include "platform/Utf8.h"

namespace {

constexpr char DpbVersion1 = 1;

using platform::AsciiLower;

bool IsTrue(const std::string& value) { return ::strcasecmp(value.c_str(), "True") == 0; }


// One DPB item with a length byte; a value longer than a length byte can
// tell is refused instead of being cut short.
void AddText(std::string& dpb, int tag, const std::string& itemName, const std::string& value) {
  if (value.size() > 255)
    throw Exception("DPB item isc_dpb_" + itemName + " is too long: " + std::to_string(value.size()) +
                    " bytes, at most 255");
  dpb += static_cast<char>(tag);
  dpb += static_cast<char>(value.size());
  dpb += value;
}

long long Number(const std::string& text) {
  try {
    return std::stoll(platform::TrimControlAndBlanks(text));
  } catch (const std::exception&) {
    throw Exception("'" + text + "' is not a valid integer value");
  }
}

void AddExtraItem(std::string& dpb, const std::string& line) {
  const std::size_t equals = line.find('=');
  std::string name;
  if (equals != std::string::npos) {
    name = AsciiLower(platform::TrimControlAndBlanks(line.substr(0, equals)));
  } else if (AsciiLower(platform::TrimControlAndBlanks(line)) == "utf8_filename") {
    name = "utf8_filename";
  } else {
    return;
  }
  if (name.rfind("isc_dpb_", 0) == 0) name.erase(0, 8);
  const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
  const int tag = DpbTagOf(name);
  switch (tag) {
    case 5: case 9: case 13: case 17: case 24: case 27: case 34: case 54: case 63:
      dpb += static_cast<char>(tag);
      dpb += '\1';
      dpb += static_cast<char>(Number(value) & 0xFF);
      return;
    case 10:
      dpb += static_cast<char>(tag);
      dpb += "\1\2";
      return;
    case 21: case 23: case 25: case 26:
      dpb += static_cast<char>(tag);
      dpb += '\1';
      dpb += '\0';
      return;
    case 22: {
      dpb += static_cast<char>(tag);
      dpb += '\4';
      const auto number = static_cast<std::uint32_t>(Number(value));
      for (int shift = 0; shift < 32; shift += 8) dpb += static_cast<char>((number >> shift) & 0xFF);
      return;
    }
    case 33: case 76:
      dpb += static_cast<char>(tag);
      dpb += static_cast<char>(Number(value) & 0xFF);
      return;
    case 18: case 19: case 20: case 28: case 29: case 30: case 36: case 47: case 48: case 60: case 74: case 75:
      AddText(dpb, tag, name, value);
      return;
    case 77:
      dpb += static_cast<char>(tag);
      dpb += '\0';
      return;
    case 0:
      throw Exception("Unknown DPB constant (" + name + ")");
    default:
      throw Exception("Unsupported DPB constant (isc_dpb_" + name + ")");
  }
}

}  // namespace

TFbConnection::TFbConnection() = default;

TFbConnection::~TFbConnection() {
  if (FConnected) {
    try {
      Disconnect();
    } catch (...) {
    }
  }
  if (FClient != nullptr) FClient->UnRegisterNotification(this);
}

void TFbConnection::SetUsername(const std::string& value) {
  if (value != FUsername) FParamsChanged = true;
  FUsername = value;
}

void TFbConnection::SetPassword(const std::string& value) {
  if (value != FPassword) FParamsChanged = true;
  FPassword = value;
}

void TFbConnection::SetOption(const std::string& name, const std::string& value) {
  auto changes = [this](std::string& field, const std::string& v) {
    if (field != v) FParamsChanged = true;
    field = v;
  };
  if (name == "CharLength") {
    FCharLength = static_cast<int>(Number(value));
    FQueryCharLength = FCharLength == 0;
  } else if (name == "Charset") {
    changes(FCharset, value);
  } else if (name == "Role") {
    changes(FRole, value);
  } else if (name == "UseUnicode") {
    FUseUnicode = IsTrue(value);
    FParamsChanged = true;
  } else if (name == "SQLDialect") {
    FSQLDialect = static_cast<int>(Number(value));
  } else if (name == "ClientLibrary") {
    FClientLibrary = value;
  } else if (name == "Protocol") {
    FProtocol = value;
  } else if (name == "TrustedAuthentication") {
    if (FTrustedAuthentication != IsTrue(value)) FParamsChanged = true;
    FTrustedAuthentication = IsTrue(value);
  } else if (name == "NoDBTriggers") {
    if (FNoDBTriggers != IsTrue(value)) FParamsChanged = true;
    FNoDBTriggers = IsTrue(value);
  } else if (name == "ForceUnloadClientLibrary") {
    TFbClient::ForceUnloadClientLibrary = IsTrue(value);
  }
  // SimpleNumericMap concerns the mapping of numeric results only.
}

void TFbConnection::SetParams(std::vector<std::string> params) {
  if (FConnected) throw Exception("Can't perform operation on connected connection");
  FParams = std::move(params);
  FParamsChanged = true;
}

void TFbConnection::AddParam(const std::string& line) {
  auto params = FParams;
  params.push_back(line);
  SetParams(std::move(params));
}

std::string TFbConnection::CharacterSetName() const {
  if (FUseUnicode && platform::AsciiUpper(FCharset) != "UTF8") return "UNICODE_FSS";
  return FCharset;
}

std::string TFbConnection::BuildDPB() {
  std::string dpb(1, DpbVersion1);
  try {
    if (!FUsername.empty()) AddText(dpb, isc_dpb_user_name, "user_name", FUsername);
    if (!FPassword.empty()) AddText(dpb, isc_dpb_password, "password", FPassword);
    const std::string charset = CharacterSetName();
    if (!charset.empty()) AddText(dpb, isc_dpb_lc_ctype, "lc_ctype", charset);
    if (!FRole.empty()) AddText(dpb, isc_dpb_sql_role_name, "sql_role_name", FRole);
    if (FTrustedAuthentication) dpb += std::string{static_cast<char>(isc_dpb_trusted_auth), '\1', '\0'};
    if (FNoDBTriggers) dpb += std::string{static_cast<char>(isc_dpb_no_db_triggers), '\1', '\1'};
    for (const auto& line : FParams) AddExtraItem(dpb, line);
  } catch (...) {
    FDPB.clear();
    throw;
  }
  FDPB = dpb;
  return FDPB;
}

void TFbConnection::SelectClientLibrary() {
  auto& clients = TFbClientList::Instance();
  clients.DefaultClientIndex = 0;
  if (FClientLibrary.empty()) {
    const std::size_t dot = FDatabase.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : AsciiLower(FDatabase.substr(dot));
    if (extension == ".fdb" || extension == ".fb") clients.DefaultClientIndex = 1;
  }
  TFbClient& client = clients.GetClient(FClientLibrary);
  if (FClient != nullptr && FClient != &client) FClient->UnRegisterNotification(this);
  FClient = &client;
  FClient->RegisterNotification(
      [](TFbConnection* connection) {
        try {
          connection->Disconnect();
        } catch (...) {
        }
        connection->FConnected = false;  // the library goes: its handles with it
        connection->FDatabaseHandle = 0;
        connection->FClient = nullptr;
      },
      this);
}

std::string TFbConnection::ConnectionText() const {
  if (FServer.empty()) return FDatabase;
  const bool defaultPort = FPort.empty() || FPort == "0" || FPort == "3050" || ::strcasecmp(FPort.c_str(), "gds_db") == 0;
  const std::string head = FServer.substr(0, FServer.size() - 1);
  const bool portInServer = head.find_first_of("/@") != std::string::npos;
  const bool withPort = !defaultPort && !portInServer;
  if (::strcasecmp(FProtocol.c_str(), "NetBEUI") == 0) {
    std::string server = FServer;
    if (withPort) server += (server.back() == '@' ? "" : "@") + FPort;
    return "\\\\" + server + "\\" + FDatabase;
  }
  if (::strcasecmp(FProtocol.c_str(), "SPX") == 0) return FServer + "@" + FDatabase;
  std::string server = FServer;
  if (withPort) server += (server.back() == '/' ? "" : "/") + FPort;
  return server + ":" + FDatabase;
}

void TFbConnection::Connect() {
  if (FConnected) return;
  SelectClientLibrary();
  const std::string text = ConnectionText();
  // Between 2.5 and 5.x the client takes UTF-8 file names when told so;
  // otherwise the text goes in the 8-bit code page, which is UTF-8 here too.
  if (FClient->Version >= 25000 && FClient->Version < 60000) {
    const bool present = std::any_of(FParams.begin(), FParams.end(), [](const std::string& line) {
      return AsciiLower(platform::TrimControlAndBlanks(line)) == "utf8_filename";
    });
    if (!present) AddParam("utf8_filename");
  }
  if (FParamsChanged) {
    BuildDPB();
    FParamsChanged = false;
  }
  ISC_STATUS result;
  {
    TClientCall call(*FClient);
    result = FClient->Entry<decltype(&isc_attach_database)>(TFbEntry::isc_attach_database)(
        FStatusVector, static_cast<short>(text.size()), text.c_str(), &FDatabaseHandle,
        static_cast<short>(FDPB.size()), FDPB.data());
  }
  try {
    Check(result);
  } catch (...) {
    FDatabaseHandle = 0;
    throw;
  }
  FIsValid = true;
  FConnected = true;
  FNativeConnection = true;
  ReadDatabaseDialect();
  GetDatabaseParameters();
}

void TFbConnection::ReadDatabaseDialect() {
  const char items[] = {isc_info_db_sql_dialect};
  char result[1024] = {};
  ISC_STATUS status;
  {
    TClientCall call(*FClient);
    status = FClient->Entry<decltype(&isc_database_info)>(TFbEntry::isc_database_info)(
        FStatusVector, &FDatabaseHandle, sizeof items, items, sizeof result, result);
  }
  Check(status);
  int dialect = 1;
  if (result[0] == isc_info_db_sql_dialect) {
    const unsigned length = static_cast<unsigned char>(result[1]) | (static_cast<unsigned char>(result[2]) << 8);
    if (length != 0 && length != 1 && length != 2 && length != 4 && length != 8) throw Exception("Unsupported length");
    long long value = 0;
    for (unsigned i = 0; i < length; ++i) value |= static_cast<long long>(static_cast<unsigned char>(result[3 + i])) << (8 * i);
    dialect = static_cast<int>(value);
  }
  FDBSQLDialect = dialect;
  if (dialect < FSQLDialect) FSQLDialect = dialect;
}

// A detach the server refuses (open transactions) keeps the attachment and
// its handle: the database is still open in this process, and the error
// says so. On a lost connection the handle is forgotten.
void TFbConnection::Disconnect() {
  const auto forget = [this] {
    FConnected = false;
    FDatabaseHandle = 0;
    FNativeConnection = true;
    ResetFacts();
  };
  if (!FNativeConnection || FClient == nullptr || FClient->FAlerterFatalError || FDatabaseHandle == 0) return forget();
  ISC_STATUS status;
  {
    TClientCall call(*FClient);
    status = FClient->Entry<decltype(&isc_detach_database)>(TFbEntry::isc_detach_database)(FStatusVector,
                                                                                          &FDatabaseHandle);
  }
  if (status == 0 || EFbError::IsFatalErrorCode(static_cast<std::int32_t>(FStatusVector[1]))) forget();
  Check(status);
}

void TFbConnection::ResetFacts() {
  FDBSQLDialect = 3;
  FCharsetId = 0;
  if (FQueryCharLength) FCharLength = 0;
}

void TFbConnection::Check(ISC_STATUS status) {
  if (status > 0) RaiseClientError(FStatusVector, true, FComponent);
}

void TFbConnection::RaiseClientError(const ISC_STATUS* statusVector, bool useCallback, const void* component) {
  std::int32_t sqlCode;
  {
    TClientCall call(*FClient);
    sqlCode = FClient->Entry<decltype(&isc_sqlcode)>(TFbEntry::isc_sqlcode)(statusVector);
  }
  std::string sqlErrorMsg, errorMsg;
  std::int32_t errorNumber = 0;
  FClient->GetClientError(sqlCode, FUseUnicode, sqlErrorMsg, errorMsg, statusVector, errorNumber);
  FLastError = sqlCode;
  EFbError error(sqlCode, errorMsg, sqlErrorMsg, errorNumber);
  error.Component = component;
  bool fail = true;
  if (useCallback) {
    const bool alerterFatal = FClient->FAlerterFatalError;
    FClient->FAlerterFatalError = alerterFatal && error.IsFatalError();
    try {
      ProcessConnectionError(error, fail);
    } catch (...) {
      if (FClient != nullptr) FClient->FAlerterFatalError = false;
      throw;
    }
    if (FClient != nullptr) FClient->FAlerterFatalError = false;
  }
  if (fail) throw error;
  throw EAbort();
}

void TFbConnection::ProcessConnectionError(EDataAccessError& error, bool& fail) {
  int attempt = 0;
  while (!FInProcessError) {
    bool reconnect = attempt > 0;
    bool reexecute = false;
    TConnLostCause cause = TConnLostCause::clUnknown;
    if (FOnError) {
      FInProcessError = true;
      try {
        FOnError(error, fail, reconnect, reexecute, attempt, cause);
      } catch (...) {
        FInProcessError = false;
        throw;
      }
      FInProcessError = false;
    }
    if (reconnect) {
      FReconnected = false;
      FInProcessError = true;
      if (attempt == 0) {
        try {
          Disconnect();
        } catch (...) {
        }
      }
      try {
        Connect();
        if (FAfterReconnect) FAfterReconnect();
        FReconnected = true;
      } catch (...) {
      }
      FInProcessError = false;
      ++attempt;
    } else if (attempt > 0 && !FReconnected && FReconnectErrorProc) {
      FInProcessError = true;
      FConnected = true;
      try {
        FReconnectErrorProc();
      } catch (...) {
      }
      FInProcessError = false;
      FConnected = false;
    }
    if (!reconnect || FReconnected) break;
  }
}

void TFbConnection::GetDatabaseParameters() {
  const std::string name = CharacterSetName();
  std::string query =
      "SELECT CST.RDB$CHARACTER_SET_ID CONN_CH, CST.RDB$BYTES_PER_CHARACTER CONN_CH_LEN,\r\n"
      "DB.RDB$CHARACTER_SET_NAME DB_CH, DB_CST.RDB$BYTES_PER_CHARACTER DB_CH_LEN, DB_CST.RDB$CHARACTER_SET_ID DB_CH_ID\r\n"
      "FROM RDB$CHARACTER_SETS CST, RDB$DATABASE DB, RDB$CHARACTER_SETS DB_CST\r\n"
      "WHERE (DB_CST.RDB$CHARACTER_SET_NAME = DB.RDB$CHARACTER_SET_NAME)\r\n";
  query += name.empty() ? "AND (CST.RDB$CHARACTER_SET_NAME = DB.RDB$CHARACTER_SET_NAME)"
                        : "AND (CST.RDB$CHARACTER_SET_NAME = UPPER('" + name + "'))";
  const std::vector<TFbRow> rows = SelectIn(FInternalTransaction, query);
  if (rows.size() > 1) throw Exception("Internal error: the character-set query returned more than one row");
  FCharsetId = 0;
  FCharLength = FQueryCharLength ? 1 : FCharLength;
  if (rows.empty()) return;
  const TFbRow& row = rows.front();
  auto number = [](const std::optional<std::string>& text) { return text ? std::stoi(*text) : 0; };
  if (!row[2]) {
    FCharsetId = 0;
    if (FQueryCharLength) FCharLength = 1;
    return;
  }
  if (FQueryCharLength) FCharLength = number(row[1]);
  if (!name.empty()) FCharsetId = number(row[0]);
  FDBCharLength = number(row[3]);
  FDBCharsetId = number(row[4]);
}

std::vector<TFbRow> TFbConnection::SelectReadOnly(const std::string& query) {
  TFbTransaction reading;
  reading.SetReadOnly(true);
  return SelectIn(reading, query);
}

std::vector<TFbRow> TFbConnection::SelectIn(TFbTransaction& transaction, const std::string& query) {
  transaction.AddConnection(this);
  transaction.FComponent = FComponent;
  return platform::WithCleanup(
      [&] {
        transaction.StartTransaction();
        TFbCommand command(this);
        command.FComponent = FComponent;
        command.FQueryRowsAffected = false;
        command.SetTransaction(&transaction);
        command.SetSQL(query, false);
        return command.Select();
      },
      [&transaction] {
        if (transaction.GetInTransaction()) transaction.Commit();
      });
}
