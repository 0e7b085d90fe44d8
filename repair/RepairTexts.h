// The operator-facing texts of the repair procedure and the fixed account.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace texts {

inline const std::string DatabaseUser = "SYSDBA";
inline const std::string DatabasePassword = "quartzfin";

inline const std::string RepairFailed = "Có lỗi khi sửa dữ liệu!";
inline const std::string RepairDone = "Đã thực hiện xong!\rChạy kiểm tra cấu trúc bảng và tạo năm làm việc";

std::string DatabaseMissing(const std::string& databasePath);
std::string DatabaseInUse(const std::string& databasePath);
std::string DatabaseOpenForReading(const std::string& databasePath);
std::string DatabaseReadOnly(const std::string& databasePath);
std::string NotEnoughDiskSpace(std::uint64_t needed, std::uint64_t available);
std::string SafetyCopyFailed(const std::string& reason);
std::string SafetyCopyIncomplete(std::uint64_t copied, std::uint64_t expected);
std::string SafetyCopyUnreadable(const std::string& safetyCopyPath);
// The copy-back names the file it could not replace or write: the database.
std::string CopyBackFailed(const std::string& safetyCopyPath, const std::string& databasePath,
                           const std::string& reason);
std::string UnknownError();

// A file operation's failure in the operator's words where it is a common one.
std::string Reason(const platform::TFileFailure& failure);

// The state the database is left in after a failed repair.
std::string DatabaseIsAsBefore(const std::string& safetyCopyPath);
std::string OriginalIsInSafetyCopy(const std::string& safetyCopyPath);
// The box after a failed repair: the failure and the state.
std::string RepairFailedBox(const std::string& state);

std::string MarkerNotWritten(const std::string& markerPath, const std::string& reason);
std::string MarkerNotRemoved(const std::string& markerPath, const std::string& reason);
std::string BackupFailed(std::uint32_t exitCode);
std::string BackupMissing(const std::string& backupPath);
// A file the rebuild writes could not be made or given the original's owner and bits.
std::string FileNotPrepared(const std::string& path, const std::string& reason);
std::string FlushFailed(const std::string& path, const std::string& reason);

// A rerun after an interrupted repair.
inline const std::string InterruptedRepairFound =
    "Lần sửa dữ liệu trước đã bị ngắt giữa chừng (máy tắt hoặc chương trình bị đóng).";
std::string BrokenDatabaseKeptAside(const std::string& asidePath);
std::string InterruptedRepairUndone(const std::string& safetyCopyPath);
std::string InterruptedRepairNotUndone(const std::string& safetyCopyPath, const std::string& reason);
std::string SafetyCopyOfInterruptedRepairMissing(const std::string& safetyCopyPath, const std::string& markerPath);
std::string InterruptedRepairStopped(const std::string& phaseName);
std::string DatabaseMayHoldNewerWork(const std::string& databasePath, const std::string& safetyCopyPath,
                                     const std::string& markerPath);
std::string CompletedMarkerRemoved(const std::string& markerPath);

// Refusals before any change: another run, files that are not what they seem.
std::string FolderBeingRepaired(const std::string& dataFolder);
std::string MarkerOfALiveRun(const std::string& dataFolder);
std::string WatchingForALiveRun(const std::string& markerPath);
std::string RunLockFailed(const std::string& lockPath, const std::string& reason);
std::string NotARegularFile(const std::string& path);
std::string DatabasePathTooLong(const std::string& databasePath, std::size_t bytes, std::size_t limit);

// An allowance statement 4 leaves with its key; absent values read "trống".
std::string AllowanceKeepsItsKey(const std::optional<std::string>& id, const std::optional<std::string>& payrollId,
                                 const std::optional<std::string>& year, const std::optional<std::string>& month,
                                 const std::optional<std::string>& key);

// The saved log: where it is (in the done and failure boxes), or why it could
// not be made (a log line; the repair goes on).
std::string SavedLogAt(const std::string& path);
std::string SavedLogNotWritten(const std::string& path, const std::string& reason);

// Rows counted through the rebuild.
std::string RowsLostInRebuild(const std::string& table, std::int64_t before, std::int64_t after);
std::string RowsRemovedByGfix(const std::string& table, std::int64_t before, std::int64_t after);
std::string RowsNotCounted(const std::string& when, const std::string& error);
// A count that did not end well is no count.
std::string RowCountEndedBadly(const std::string& program, std::uint32_t exitCode);
// The rebuild could not be checked row by row: the tables named (all of
// them when empty) could not be counted before the backup.
std::string RowsNotVerified(const std::vector<std::string>& tables);
std::string RepairDoneRowsNotVerifiedBox(const std::string& notVerified, const std::vector<std::string>& indexesOff,
                                         const std::string& safetyCopyPath);
inline const std::string BeforeGfix = "trước khi chạy gfix";
inline const std::string BeforeBackup = "trước khi sao lưu";

// What the data stage changed.
std::string DepartmentIdsGiven(const std::vector<std::string>& ids);
std::string KeysRenamed(std::size_t count);
std::string KeyRenamed(const std::string& table, const std::string& otherKeys, const std::string& before,
                       const std::string& after);
std::string AllowancesFollowed(std::size_t count);
std::string AllowanceFollowed(const std::string& id, const std::string& payrollId, const std::string& before,
                              const std::string& after);
std::string ChangesNotRead(const std::string& error);

// A folder the operator named, or its DATA folder, does not exist.
std::string FolderMissing(const std::string& folder);

// A tool stopped for being past its bound.
std::string ToolTookTooLong(const std::string& tool, std::uint64_t seconds, std::uint64_t databaseBytes);
std::string ToolGrewAFile(const std::string& tool, const std::string& file, std::uint64_t bytes,
                          std::uint64_t databaseBytes);

// What a gfix pass reported; errors empty when it only found the file corrupt.
std::string GfixFoundDamage(const std::string& pass, const std::string& errors);

// A tool that is there but could not be started.
std::string ToolNotStarted(const std::string& tool);

// A gfix pass that ended on an error of its own before it had seen the whole file.
std::string GfixStoppedOnError(const std::string& pass, const std::string& line);
// A gfix pass that ended badly without a word (killed, crashed): the file's
// state is unknown and counts as damaged.
std::string GfixEndedWithoutAWord(const std::string& pass, std::uint32_t exitCode);

// Physical damage: the rebuild comes first, the statements run on its result.
inline const std::string RebuildingBeforeDataRepair =
    "Cơ sở dữ liệu bị hỏng vật lý: dựng lại cơ sở dữ liệu từ bản sao lưu trước, rồi mới sửa trùng dữ liệu trên cơ sở "
    "dữ liệu mới (không ghi vào file đang hỏng).";
std::string ToolResultDiscarded(const std::string& tool, const std::string& safetyCopyPath);

// The restore left the database shut down because indexes could not be activated.
inline const std::string RestoredWithIndexesOff =
    "Cơ sở dữ liệu phục hồi bị để ngoại tuyến vì không bật được một số chỉ mục: đưa cơ sở dữ liệu lên (gfix -online) "
    "và thử bật lại từng chỉ mục.";
// The restore went well, but brought back indexes that were off in the backup.
inline const std::string RestoredWithIndexesInactive =
    "Cơ sở dữ liệu phục hồi có chỉ mục đang tắt (đã tắt sẵn trong cơ sở dữ liệu cũ): thử bật lại từng chỉ mục.";
std::string IndexActivated(const std::string& index, const std::string& table);
std::string IndexNotActivated(const std::string& index, const std::string& table, const std::string& error);
inline const std::string DuplicateKeysAgain =
    "Chỉ mục khoá không bật được vì còn khoá trùng (chỉ mục hỏng đã che chúng): chạy lại bước sửa trùng dữ liệu rồi "
    "bật lại chỉ mục.";
std::string IndexLeftOff(const std::string& index, const std::string& table, const std::vector<std::string>& keys);
// The box of a repair whose database works with some indexes off.
std::string RepairDoneIndexesOffBox(const std::vector<std::string>& indexes, const std::string& safetyCopyPath);

// gbak's own remedies, applied once.
inline const std::string BackupRetriedWithLimbo =
    "gbak gặp giao dịch treo (limbo): sao lưu lại một lần với tuỳ chọn -limbo (bỏ qua các giao dịch treo).";
std::string BackupRetriedWithoutTable(const std::string& table);
std::string TableLeftOutOfBackup(const std::string& table);

// A tool that said it gave up and did not end: ended by the repair.
std::string ToolEndedAfterItsError(const std::string& tool);

// A file of the program that is not there.
std::string FileMissing(const std::string& path);

// A step of the client library past its bound.
std::string ServerCallTookTooLong(const std::string& step, std::uint64_t seconds);

// A step stopped by the operator.
std::string StoppedByOperator(const std::string& step);

}  // namespace texts
