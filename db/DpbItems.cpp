#include "db/DpbItems.h"

namespace {

// Position in this list is the tag: isc_dpb_cdd_pathname is 1 ... isc_dpb_utf8_filename 77.
const char* const Names[] = {
    "cdd_pathname", "allocation", "journal", "page_size", "num_buffers", "buffer_length", "debug",
    "garbage_collect", "verify", "sweep", "enable_journal", "disable_journal", "dbkey_scope", "number_of_users",
    "trace", "no_garbage_collect", "damaged", "license", "sys_user_name", "encrypt_key", "activate_shadow",
    "sweep_interval", "delete_shadow", "force_write", "begin_log", "quit_log", "no_reserve", "user_name",
    "password", "password_enc", "sys_user_name_enc", "interp", "online_dump", "old_file_size", "old_num_files",
    "old_file", "old_start_page", "old_start_seqno", "old_start_file", "drop_walfile", "old_dump_id",
    "wal_backup_dir", "wal_chkptlen", "wal_numbufs", "wal_bufsize", "wal_grp_cmt_wait", "lc_messages", "lc_ctype",
    "cache_manager", "shutdown", "online", "shutdown_delay", "reserved", "overwrite", "sec_attach", "disable_wal",
    "connect_timeout", "dummy_packet_interval", "gbak_attach", "sql_role_name", "set_page_buffers",
    "working_directory", "sql_dialect", "set_db_readonly", "set_db_sql_dialect", "gfix_attach", "gstat_attach",
    "set_db_charset", "gsec_attach", "address_path", "process_id", "no_db_triggers", "trusted_auth",
    "process_name", "trusted_role", "org_filename", "utf8_filename"};
static_assert(sizeof Names / sizeof Names[0] == 77);

}  // namespace

int DpbTagOf(const std::string& name) {
  for (int i = 0; i < 77; ++i)
    if (name == Names[i]) return i + 1;
  return 0;
}
