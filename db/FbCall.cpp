#include "db/FbCall.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "platform/Exception.h"
#include "platform/NativeNames.h"
#include "platform/Utf8.h"

const char* const DefaultClientNames[2] = {platform::OldClientLibraryName, platform::ClientLibraryName};
bool TFbClient::ForceUnloadClientLibrary = false;

namespace {

const char* const EntryNames[] = {
    "isc_sqlcode", "isc_sql_interprete", "isc_interprete", "isc_blob_info", "isc_open_blob2", "isc_close_blob",
    "isc_seek_blob", "isc_create_blob2", "isc_cancel_blob", "isc_get_segment", "isc_put_segment",
    "isc_array_gen_sdl", "isc_array_get_slice", "isc_array_lookup_bounds", "isc_array_lookup_desc",
    "isc_array_set_desc", "isc_array_put_slice", "isc_blob_default_desc", "isc_blob_gen_bpb",
    "isc_blob_lookup_desc", "isc_blob_set_desc", "isc_decode_date", "isc_encode_date", "isc_dsql_free_statement",
    "isc_dsql_execute2", "isc_dsql_execute", "isc_dsql_set_cursor_name", "isc_dsql_fetch", "isc_dsql_sql_info",
    "isc_dsql_alloc_statement2", "isc_dsql_prepare", "isc_dsql_describe_bind", "isc_dsql_describe",
    "isc_dsql_execute_immediate", "isc_drop_database", "isc_detach_database", "isc_attach_database",
    "isc_database_info", "isc_start_multiple", "isc_commit_transaction", "isc_commit_retaining",
    "isc_rollback_transaction", "isc_prepare_transaction", "isc_prepare_transaction2", "isc_transaction_info",
    "isc_que_events", "isc_event_counts", "isc_cancel_events", "isc_event_block", "isc_free", "fb_cancel_operation",
    "fb_shutdown", "isc_rollback_retaining", "isc_decode_sql_date", "isc_decode_sql_time", "isc_encode_sql_date",
    "isc_encode_sql_time", "isc_get_client_version", "isc_get_client_major_version", "isc_get_client_minor_version",
    "isc_service_attach", "isc_service_detach", "isc_service_query", "isc_service_start", "isc_vax_integer",
    "fb_interpret"};
static_assert(sizeof EntryNames / sizeof EntryNames[0] == static_cast<int>(TFbEntry::Count));

// The process-wide lock of every library's notification list.
std::mutex& NotificationLock() {
  static std::mutex lock;
  return lock;
}

// A decimal number with at most one ".", as the version text must be. Read
// digit by digit: the C library's reading follows LC_NUMERIC, whose decimal
// separator is a comma in many locales.
double ReadDecimal(const std::string& text) {
  bool digits = false;
  int points = 0;
  double value = 0, scale = 1;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
      if (points == 0) value = value * 10 + (c - '0');
      else value += (c - '0') * (scale /= 10);
    } else if (c == '.') {
      ++points;
    } else {
      points = 2;
    }
  }
  if (!digits || points > 1) throw Exception("'" + text + "' is not a valid floating point value");
  return value;
}

// The client's status vector holds twenty entries: a long error (a failed
// execute statement inside a block) loses its last arguments, and the client
// puts a note about it where they were. The operator reads the message
// without the note.
std::string WithoutOverflowNote(std::string line) {
  for (std::size_t at; (at = line.find("<Missing arg #")) != std::string::npos;) {
    const std::size_t end = line.find('>', at);
    line.erase(at, end == std::string::npos ? std::string::npos : end - at + 1);
  }
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.pop_back();
  return line;
}

}  // namespace

TFbClient::TFbClient(const std::string& libFile, int defaultIndex)
    : ClientDLL(platform::TrimControlAndBlanks(libFile)), FEntries(static_cast<int>(TFbEntry::Count), nullptr) {
  LoadClientLibrary(defaultIndex);
  ResolveEntryPoints();
  IsClientLibraryThreadSafe = Version >= 25000 && (Version < 60000 || Version >= 90000);
}

void TFbClient::LoadClientLibrary(int defaultIndex) {
  auto tryLoad = [this](const std::string& name) {
    try {
      hClientLib = platform::DynamicLibrary::Load(name);
    } catch (const Exception&) {
      hClientLib.reset();
    }
    return hClientLib != nullptr;
  };
  if (ClientDLL.empty()) {
    const int first = defaultIndex == 1 ? 1 : 0;
    ClientDLL = DefaultClientNames[first];
    if (!tryLoad(ClientDLL)) {
      ClientDLL = DefaultClientNames[1 - first];
      if (!tryLoad(ClientDLL)) ClientDLL.clear();
    }
  } else {
    tryLoad(ClientDLL);
  }
  if (!hClientLib)
    throw Exception(ClientDLL.empty() ? "Cannot load client library" : "Cannot load client library: " + ClientDLL);
}

void TFbClient::ResolveEntryPoints() {
  auto resolve = [this](TFbEntry entry) {
    FEntries[static_cast<int>(entry)] = hClientLib->Symbol(EntryNames[static_cast<int>(entry)]);
  };
  for (int i = 0; i <= static_cast<int>(TFbEntry::isc_rollback_retaining); ++i) resolve(static_cast<TFbEntry>(i));
  if (!HasEntry(TFbEntry::isc_rollback_retaining)) {
    Version = 50000;
    VersionSt = "5";
  } else {
    Version = 60000;
    VersionSt = "6";
    for (auto entry : {TFbEntry::isc_decode_sql_date, TFbEntry::isc_decode_sql_time, TFbEntry::isc_encode_sql_date,
                       TFbEntry::isc_encode_sql_time})
      resolve(entry);
  }
  resolve(TFbEntry::isc_get_client_version);
  if (HasEntry(TFbEntry::isc_get_client_version)) {
    resolve(TFbEntry::isc_get_client_major_version);
    resolve(TFbEntry::isc_get_client_minor_version);
    ReadVersion();
  }
  for (int i = static_cast<int>(TFbEntry::isc_service_attach); i < static_cast<int>(TFbEntry::Count); ++i)
    resolve(static_cast<TFbEntry>(i));
}

void TFbClient::ReadVersion() {
  char buffer[64] = {};
  Entry<void (*)(char*)>(TFbEntry::isc_get_client_version)(buffer);
  const std::string text = platform::AsciiLower(std::string(buffer, strnlen(buffer, sizeof buffer)));
  const std::size_t word = text.find("firebird");
  if (word != std::string::npos) {
    std::size_t start = word + std::strlen("firebird");
    if (start < text.size() && text[start] == ' ') ++start;
    const std::size_t end = text.find(' ', start);
    VersionSt = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    Version = std::llround(ReadDecimal(VersionSt) * 10000);
    return;
  }
  const int major = Entry<int (*)()>(TFbEntry::isc_get_client_major_version)();
  const int minor = Entry<int (*)()>(TFbEntry::isc_get_client_minor_version)();
  VersionSt = std::to_string(major) + "." + std::to_string(minor);
  Version = std::llround((major + minor / 10.0) * 10000);
}

TFbClient::~TFbClient() {
  {
    std::lock_guard<std::mutex> lock(NotificationLock());
    auto notifications = std::move(FNotifications);
    for (auto& [event, connection] : notifications) event(connection);
  }
  if (ForceUnloadClientLibrary && HasEntry(TFbEntry::fb_shutdown)) {
    // The library is released only when the engine has shut down cleanly.
    if (Entry<int (*)(unsigned, int)>(TFbEntry::fb_shutdown)(10000, 0) != 0) (void)hClientLib.release();
  }
  hClientLib.reset();
  VersionSt.clear();
  Version = 0;
}

void TFbClient::ThrowNotLinked() { throw Exception("Client library function is not linked"); }

void TFbClient::Busy() {
  if (!IsClientLibraryThreadSafe) hBusy.lock();
}

void TFbClient::Release() {
  if (!IsClientLibraryThreadSafe) hBusy.unlock();
}

void TFbClient::GetClientError(std::int32_t errorCode, bool useUnicode, std::string& sqlErrorMsg,
                               std::string& errorMsg, const ISC_STATUS* statusVector, std::int32_t& errorNumber) {
  // Text from the client is UTF-8 or, without UseUnicode, the 8-bit code page,
  // which is UTF-8 here too.
  (void)useUnicode;
  std::vector<char> buffer(4096, '\0');
  errorNumber = static_cast<std::int32_t>(statusVector[1]);
  TClientCall call(*this);
  Entry<void (*)(short, char*, short)>(TFbEntry::isc_sql_interprete)(static_cast<short>(errorCode), buffer.data(),
                                                                      static_cast<short>(buffer.size()));
  sqlErrorMsg = buffer.data();
  errorMsg.clear();
  buffer[0] = '\0';
  const ISC_STATUS* cursor = statusVector;
  for (;;) {
    // fb_interpret knows the buffer's size; isc_interprete only when it is missing.
    int length = HasEntry(TFbEntry::fb_interpret)
                     ? Entry<int (*)(char*, unsigned, const ISC_STATUS**)>(TFbEntry::fb_interpret)(
                           buffer.data(), static_cast<unsigned>(buffer.size()), &cursor)
                     : Entry<int (*)(char*, const ISC_STATUS**)>(TFbEntry::isc_interprete)(buffer.data(), &cursor);
    if (length <= 0) break;
    const std::string line = WithoutOverflowNote(std::string(buffer.data(), strnlen(buffer.data(), buffer.size())));
    if (line.empty()) continue;
    if (!errorMsg.empty()) errorMsg += '\r';
    errorMsg += line;
  }
}

void TFbClient::RegisterNotification(TNotification event, TFbConnection* connection) {
  std::lock_guard<std::mutex> lock(NotificationLock());
  for (const auto& pair : FNotifications)
    if (pair.second == connection) return;
  FNotifications.emplace_back(std::move(event), connection);
}

void TFbClient::UnRegisterNotification(TFbConnection* connection) {
  std::lock_guard<std::mutex> lock(NotificationLock());
  FNotifications.erase(std::remove_if(FNotifications.begin(), FNotifications.end(),
                                      [&](const auto& pair) { return pair.second == connection; }),
                       FNotifications.end());
}

TFbClientList& TFbClientList::Instance() {
  static TFbClientList list;
  return list;
}

TFbClientList::~TFbClientList() { Clear(); }

void TFbClientList::Clear() {
  std::lock_guard<std::mutex> lock(FLock);
  FClients.clear();
}

TFbClient* TFbClientList::FindClient(const std::string& libFile) {
  const std::string name = platform::TrimControlAndBlanks(libFile);
  if (name.empty()) return FClients.empty() ? nullptr : FClients.front().get();
  for (const auto& client : FClients)
    if (::strcasecmp(client->ClientDLL.c_str(), name.c_str()) == 0) return client.get();
  return nullptr;
}

TFbClient& TFbClientList::GetClient(const std::string& libFile) {
  std::lock_guard<std::mutex> lock(FLock);
  if (TFbClient* found = FindClient(libFile)) return *found;
  FClients.push_back(std::make_unique<TFbClient>(libFile, DefaultClientIndex));
  return *FClients.back();
}
