// The Firebird client library: loaded once per file name and shared, its
// entry points resolved by name (a missing one fails only when called), its
// version and thread safety worked out, and a failed call's status vector
// turned into the server's message text.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <ibase.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Library.h"

// Every client entry point, in the order they are resolved.
enum class TFbEntry : int {
  isc_sqlcode, isc_sql_interprete, isc_interprete, isc_blob_info, isc_open_blob2, isc_close_blob, isc_seek_blob,
  isc_create_blob2, isc_cancel_blob, isc_get_segment, isc_put_segment, isc_array_gen_sdl, isc_array_get_slice,
  isc_array_lookup_bounds, isc_array_lookup_desc, isc_array_set_desc, isc_array_put_slice, isc_blob_default_desc,
  isc_blob_gen_bpb, isc_blob_lookup_desc, isc_blob_set_desc, isc_decode_date, isc_encode_date,
  isc_dsql_free_statement, isc_dsql_execute2, isc_dsql_execute, isc_dsql_set_cursor_name, isc_dsql_fetch,
  isc_dsql_sql_info, isc_dsql_alloc_statement2, isc_dsql_prepare, isc_dsql_describe_bind, isc_dsql_describe,
  isc_dsql_execute_immediate, isc_drop_database, isc_detach_database, isc_attach_database, isc_database_info,
  isc_start_multiple, isc_commit_transaction, isc_commit_retaining, isc_rollback_transaction,
  isc_prepare_transaction, isc_prepare_transaction2, isc_transaction_info, isc_que_events, isc_event_counts,
  isc_cancel_events, isc_event_block, isc_free, fb_cancel_operation, fb_shutdown, isc_rollback_retaining,
  isc_decode_sql_date, isc_decode_sql_time, isc_encode_sql_date, isc_encode_sql_time, isc_get_client_version,
  isc_get_client_major_version, isc_get_client_minor_version, isc_service_attach, isc_service_detach,
  isc_service_query, isc_service_start, isc_vax_integer, fb_interpret, Count
};

class TFbConnection;

class TFbClient {
 public:
  // Loads libFile (trimmed; empty: the default names, defaultIndex first).
  // Raises Exception "Cannot load client library[: name]", or the number
  // conversion error for a version text that is no plain decimal number.
  TFbClient(const std::string& libFile, int defaultIndex);
  ~TFbClient();
  TFbClient(const TFbClient&) = delete;
  TFbClient& operator=(const TFbClient&) = delete;

  // The entry point, or Exception "Client library function is not linked".
  template <typename Function>
  Function Entry(TFbEntry entry) const {
    void* address = FEntries[static_cast<int>(entry)];
    if (address == nullptr) ThrowNotLinked();
    return reinterpret_cast<Function>(address);
  }
  bool HasEntry(TFbEntry entry) const { return FEntries[static_cast<int>(entry)] != nullptr; }

  // Serialise calls when the library is not thread-safe; re-entrant.
  void Busy();
  void Release();
  // True while a call bracketed by TClientCall runs on any thread.
  bool CallInFlight() const { return FCallsInFlight.load() > 0; }

  // The texts of a failed call: SQLErrorMsg from the SQLCODE, ErrorMsg the
  // messages of the status vector joined by single carriage returns.
  void GetClientError(std::int32_t errorCode, bool useUnicode, std::string& sqlErrorMsg, std::string& errorMsg,
                      const ISC_STATUS* statusVector, std::int32_t& errorNumber);

  using TNotification = std::function<void(TFbConnection*)>;
  void RegisterNotification(TNotification event, TFbConnection* connection);
  void UnRegisterNotification(TFbConnection* connection);

  std::string ClientDLL;
  bool IsClientLibraryThreadSafe = false;
  std::string VersionSt;
  std::int64_t Version = 0;
  bool FAlerterFatalError = false;

  // Process-wide: unload through fb_shutdown at program end.
  static bool ForceUnloadClientLibrary;

 private:
  void LoadClientLibrary(int defaultIndex);
  void ResolveEntryPoints();
  void ReadVersion();
  [[noreturn]] static void ThrowNotLinked();

  std::unique_ptr<platform::DynamicLibrary> hClientLib;
  std::recursive_mutex hBusy;
  std::vector<std::pair<TNotification, TFbConnection*>> FNotifications;
  std::vector<void*> FEntries;
  std::atomic<int> FCallsInFlight{0};
  friend class TClientCall;
};

// Brackets one group of client calls with Busy and Release.
class TClientCall {
 public:
  explicit TClientCall(TFbClient& client) : FClient(client) {
    FClient.Busy();
    ++FClient.FCallsInFlight;
  }
  ~TClientCall() {
    --FClient.FCallsInFlight;
    FClient.Release();
  }
  TClientCall(const TClientCall&) = delete;
  TClientCall& operator=(const TClientCall&) = delete;

 private:
  TFbClient& FClient;
};

// The process-wide registry of loaded client libraries.
class TFbClientList {
 public:
  static TFbClientList& Instance();

  // Find or load, atomically; a library that fails to load is not registered.
  TFbClient& GetClient(const std::string& libFile);
  // Trimmed, case-insensitive; an empty name gives the first registered library.
  TFbClient* FindClient(const std::string& libFile);
  // Unloads every library (program end).
  void Clear();

  // Index into the default names chosen by the connection before GetClient.
  int DefaultClientIndex = 0;

  ~TFbClientList();

 private:
  TFbClientList() = default;
  std::mutex FLock;
  std::vector<std::unique_ptr<TFbClient>> FClients;
};

// The platform's default client library names, index 0 and 1.
extern const char* const DefaultClientNames[2];
