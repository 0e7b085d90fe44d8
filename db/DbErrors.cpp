#include "db/DbErrors.h"

bool EFbError::IsFatalErrorCode(std::int32_t errorNumber) {
  switch (errorNumber) {
    case 335544648:  // isc_conn_lost
    case 335544721:  // isc_network_error
    case 335544726:  // isc_net_read_err
    case 335544727:  // isc_net_write_err
    case 335544741:  // isc_lost_db_connection
    case 335544856:  // isc_att_shutdown
      return true;
    default:
      return false;
  }
}
