#include "repair/RepairTexts.h"

#include <cstdio>

namespace texts {
namespace {

std::string Megabytes(std::uint64_t bytes, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f MB", decimals, static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string DatabaseMissing(const std::string& databasePath) { return "File: " + databasePath + " không có"; }

std::string DatabaseInUse(const std::string& databasePath) {
  return "Cơ sở dữ liệu " + databasePath +
         " đang được một chương trình khác mở (VYR hoặc Firebird server). "
         "Hãy đóng chương trình đó trước rồi sửa lại.";
}

std::string DatabaseOpenForReading(const std::string& databasePath) {
  return "Cơ sở dữ liệu " + databasePath +
         " đang được một chương trình khác mở để đọc (chương trình sao lưu, chương trình diệt virus hoặc cửa sổ "
         "Explorer đang xem file), nên chưa thay được file; chưa có gì bị thay đổi. Hãy đợi chương trình đó xong "
         "hoặc đóng nó rồi sửa lại.";
}

std::string DatabaseReadOnly(const std::string& databasePath) {
  return "File " + databasePath +
         " đang ở chế độ chỉ đọc (read-only) nên không sửa được; chưa có gì bị thay đổi. Hãy bỏ thuộc tính chỉ đọc "
         "(chuột phải vào file, Properties, bỏ chọn Read-only) hoặc cấp quyền ghi cho file rồi sửa lại.";
}

// Two figures that differ are never shown alike: more decimals, or bytes.
std::string NotEnoughDiskSpace(std::uint64_t needed, std::uint64_t available) {
  std::string neededText, availableText;
  for (int decimals = 1; decimals <= 3; ++decimals) {
    neededText = Megabytes(needed, decimals);
    availableText = Megabytes(available, decimals);
    if (neededText != availableText) break;
  }
  if (neededText == availableText && needed != available) {
    neededText = std::to_string(needed) + " byte";
    availableText = std::to_string(available) + " byte";
  }
  return "Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần " + neededText + ", còn trống " + availableText + ".";
}

std::string SafetyCopyFailed(const std::string& reason) { return "Không tạo được bản sao an toàn: " + reason; }

std::string SafetyCopyIncomplete(std::uint64_t copied, std::uint64_t expected) {
  return SafetyCopyFailed("bản sao có " + std::to_string(copied) + " byte, cơ sở dữ liệu có " +
                          std::to_string(expected) + " byte");
}

std::string SafetyCopyUnreadable(const std::string& safetyCopyPath) {
  return SafetyCopyFailed("không đọc lại được " + safetyCopyPath);
}

std::string CopyBackFailed(const std::string& safetyCopyPath, const std::string& databasePath,
                           const std::string& reason) {
  return "Không chép lại được bản sao an toàn " + safetyCopyPath + " vào " + databasePath + ": " + reason;
}

std::string UnknownError() { return "Lỗi không xác định"; }

std::string Reason(const platform::TFileFailure& failure) {
  switch (failure.Kind) {
    case platform::TFileFailureKind::NoSpace: return "đĩa đã hết chỗ trống";
    case platform::TFileFailureKind::ReadOnly: return "đĩa chỉ cho phép đọc, không ghi được";
    case platform::TFileFailureKind::AccessDenied: return "không có quyền ghi hoặc đọc file";
    case platform::TFileFailureKind::InUse: return "file đang được một chương trình khác dùng";
    case platform::TFileFailureKind::NotFound: return "không tìm thấy file";
    case platform::TFileFailureKind::Other: break;
  }
  return failure.Text;
}

std::string DatabaseIsAsBefore(const std::string& safetyCopyPath) {
  return "Cơ sở dữ liệu đã được trả lại như trước khi sửa (chép từ bản sao an toàn " + safetyCopyPath + ").";
}

std::string OriginalIsInSafetyCopy(const std::string& safetyCopyPath) {
  return "Dữ liệu gốc vẫn còn nguyên trong bản sao an toàn " + safetyCopyPath +
         ". Đừng xóa file này. Hãy khắc phục lỗi trên rồi bấm Chấp nhận lại: chương trình sẽ tự trả lại cơ sở dữ liệu.";
}

std::string RepairFailedBox(const std::string& state) { return RepairFailed + "\r" + state; }

std::string MarkerNotWritten(const std::string& markerPath, const std::string& reason) {
  return "Không ghi được file đánh dấu " + markerPath + ": " + reason + ". Cơ sở dữ liệu chưa bị thay đổi.";
}

std::string MarkerNotRemoved(const std::string& markerPath, const std::string& reason) {
  return "Không xóa được file đánh dấu " + markerPath + ": " + reason + ". Hãy xóa file đó bằng tay.";
}

std::string BackupFailed(std::uint32_t exitCode) {
  return "gbak không sao lưu được cơ sở dữ liệu (mã kết thúc " + std::to_string(exitCode) +
         "); cơ sở dữ liệu không bị xóa.";
}

std::string BackupMissing(const std::string& backupPath) {
  return "gbak không tạo ra file sao lưu " + backupPath + "; cơ sở dữ liệu không bị xóa.";
}

std::string FileNotPrepared(const std::string& path, const std::string& reason) {
  return "Không tạo được hoặc không đặt được quyền cho file " + path + ": " + reason + ".";
}

std::string FlushFailed(const std::string& path, const std::string& reason) {
  return "Không ghi được " + path + " xuống đĩa: " + reason;
}

std::string BrokenDatabaseKeptAside(const std::string& asidePath) {
  return "File cơ sở dữ liệu dở dang của lần sửa đó được giữ lại với tên " + asidePath + ".";
}

std::string InterruptedRepairUndone(const std::string& safetyCopyPath) {
  return "Cơ sở dữ liệu đã được trả lại như trước lần sửa bị ngắt (chép từ bản sao an toàn " + safetyCopyPath +
         "). Bấm Chấp nhận để sửa lại.";
}

std::string InterruptedRepairNotUndone(const std::string& safetyCopyPath, const std::string& reason) {
  return "Chưa trả lại được cơ sở dữ liệu: " + reason + ". " + OriginalIsInSafetyCopy(safetyCopyPath);
}

std::string SafetyCopyOfInterruptedRepairMissing(const std::string& safetyCopyPath, const std::string& markerPath) {
  return "Không thấy bản sao an toàn đầy đủ " + safetyCopyPath +
         " của lần sửa đó, nên chương trình không thay đổi gì. Hãy kiểm tra cơ sở dữ liệu trong VYR; "
         "nếu nó dùng được, xóa file " + markerPath + " rồi sửa lại.";
}

std::string InterruptedRepairStopped(const std::string& phaseName) { return "Lần sửa đó dừng " + phaseName + "."; }

std::string DatabaseMayHoldNewerWork(const std::string& databasePath, const std::string& safetyCopyPath,
                                     const std::string& markerPath) {
  return "Cơ sở dữ liệu " + databasePath + " không còn giống bản gốc, cũng không giống trạng thái nào mà lần sửa bị "
         "ngắt để lại: nó có thể chứa dữ liệu nhập sau đó (VYR đã được dùng), nên chương trình không thay nó và không "
         "thay đổi gì. Bản gốc của lần sửa bị ngắt là " + safetyCopyPath + ". Nếu VYR mở được cơ sở dữ liệu này và "
         "dữ liệu đúng, hãy xóa file " + markerPath + " rồi bấm Chấp nhận để sửa. Nếu chắc chắn không ai dùng VYR từ "
         "lúc đó và muốn lấy lại bản gốc, hãy đổi tên " + databasePath + " thành tên khác (ví dụ VYR_CU.FDB) rồi bấm "
         "Chấp nhận. Nếu không chắc, hãy gọi bộ phận hỗ trợ.";
}

std::string CompletedMarkerRemoved(const std::string& markerPath) {
  return "File đánh dấu " + markerPath + " của lần sửa trước (đã sửa xong) được xóa.";
}

std::string FolderBeingRepaired(const std::string& dataFolder) {
  return "Thư mục " + dataFolder +
         " đang được sửa dữ liệu ngay lúc này, từ máy này hoặc một máy khác. Chương trình không thay đổi gì. "
         "Hãy chờ lần sửa đó xong rồi bấm Chấp nhận lại nếu cần.";
}

std::string MarkerOfALiveRun(const std::string& dataFolder) {
  return "Thư mục " + dataFolder +
         " có dấu của một lần sửa dữ liệu vừa chạy cách đây chưa đầy một phút, từ máy này hoặc một máy khác: có thể "
         "nó vẫn đang chạy. Chương trình không thay đổi gì. Hãy chờ một phút (hoặc chờ lần sửa đó xong) rồi bấm "
         "Chấp nhận lại.";
}

std::string WatchingForALiveRun(const std::string& markerPath) {
  return "Đang xem file " + markerPath + " có được một lần sửa khác đang chạy cập nhật không (tối đa nửa phút)...";
}

std::string RunLockFailed(const std::string& lockPath, const std::string& reason) {
  return "Không khóa được file " + lockPath + " để sửa dữ liệu: " + reason + ". Chương trình không thay đổi gì.";
}

std::string NotARegularFile(const std::string& path) {
  return path + " không phải là một file thường (nó là một liên kết, một thư mục hoặc một file đặc biệt). "
         "Chương trình không thay đổi gì. Hãy xem lại và chuyển nó đi chỗ khác rồi sửa lại.";
}

std::string DatabasePathTooLong(const std::string& databasePath, std::size_t bytes, std::size_t limit) {
  return "Đường dẫn cơ sở dữ liệu " + databasePath + " dài " + std::to_string(bytes) +
         " byte; bản sao lưu của gbak chỉ giữ được đường dẫn dài tối đa " + std::to_string(limit) +
         " byte. Chương trình không thay đổi gì. Hãy chép thư mục VYR sang một thư mục có đường dẫn ngắn hơn rồi sửa ở đó.";
}

std::string AllowanceKeepsItsKey(const std::optional<std::string>& id, const std::optional<std::string>& payrollId,
                                 const std::optional<std::string>& year, const std::optional<std::string>& month,
                                 const std::optional<std::string>& key) {
  const auto shown = [](const std::optional<std::string>& value) { return value ? *value : std::string("trống"); };
  return "Phụ cấp ID " + shown(id) + " (IDLUONG " + shown(payrollId) + ", năm " + shown(year) + ", tháng " +
         shown(month) + ", mã " + shown(key) + ") giữ nguyên mã: nhiều dòng lương có cùng ID " + shown(payrollId) +
         " và không rõ phụ cấp này thuộc dòng nào.";
}

std::string SavedLogAt(const std::string& path) { return "Nhật ký của lần sửa này: " + path; }

std::string SavedLogNotWritten(const std::string& path, const std::string& reason) {
  return "Không ghi được nhật ký sửa dữ liệu vào file " + path + ": " + reason + ". Việc sửa vẫn tiếp tục.";
}

std::string RowsLostInRebuild(const std::string& table, std::int64_t before, std::int64_t after) {
  return "Bảng " + table + " có " + std::to_string(before) + " dòng trước khi sao lưu nhưng chỉ còn " +
         std::to_string(after) + " dòng sau khi phục hồi: việc phục hồi đã làm mất dữ liệu.";
}

std::string RowsRemovedByGfix(const std::string& table, std::int64_t before, std::int64_t after) {
  return "gfix đã bỏ " + std::to_string(before - after) + " dòng hỏng của bảng " + table + " (trước khi sửa có " +
         std::to_string(before) + " dòng, còn " + std::to_string(after) + " dòng).";
}

std::string RowsNotCounted(const std::string& when, const std::string& error) {
  return "Không đếm được số dòng của các bảng " + when + ": " + error;
}

std::string RowCountEndedBadly(const std::string& program, std::uint32_t exitCode) {
  return program + " không đếm xong (mã thoát " + std::to_string(exitCode) + "): không có số dòng nào được tính.";
}

std::string RowsNotVerified(const std::vector<std::string>& tables) {
  std::string list;
  for (const auto& table : tables) list += (list.empty() ? "" : ", ") + table;
  if (list.empty())
    return "Không kiểm được số dòng sau khi dựng lại: số dòng trước khi sao lưu không đếm được.";
  return "Không kiểm được số dòng của các bảng " + list +
         " sau khi dựng lại: trước khi sao lưu các bảng này không đọc được.";
}

std::string RepairDoneRowsNotVerifiedBox(const std::string& notVerified, const std::vector<std::string>& indexesOff,
                                         const std::string& safetyCopyPath) {
  std::string text = "Đã dựng lại cơ sở dữ liệu, nhưng chưa chắc còn đủ dữ liệu. " + notVerified;
  if (!indexesOff.empty()) {
    std::string list;
    for (const auto& index : indexesOff) list += (list.empty() ? "" : ", ") + index;
    text += "\rCác chỉ mục sau chưa bật được: " + list + ".";
  }
  return text + "\rHãy kiểm tra dữ liệu trong VYR và gọi bộ phận hỗ trợ.\rBản gốc vẫn nằm trong " + safetyCopyPath +
         " (hãy giữ một bản sao của nó trước khi sửa lại).";
}

std::string DepartmentIdsGiven(const std::vector<std::string>& ids) {
  std::string list;
  for (const auto& id : ids) list += (list.empty() ? "" : ", ") + id;
  return "Đã cấp ID cho " + std::to_string(ids.size()) + " dòng phòng ban (DMPB): " + list + ".";
}

std::string KeysRenamed(std::size_t count) { return "Đã đổi " + std::to_string(count) + " mã bị trùng:"; }

std::string KeyRenamed(const std::string& table, const std::string& otherKeys, const std::string& before,
                       const std::string& after) {
  return "  " + table + " (" + otherKeys + "): '" + before + "' → '" + after + "'";
}

std::string AllowancesFollowed(std::size_t count) {
  return "Có " + std::to_string(count) + " dòng phụ cấp (PHUCAP) đổi mã theo dòng lương của nó:";
}

std::string AllowanceFollowed(const std::string& id, const std::string& payrollId, const std::string& before,
                              const std::string& after) {
  return "  ID " + id + " (IDLUONG " + payrollId + "): '" + before + "' → '" + after + "'";
}

std::string ChangesNotRead(const std::string& error) {
  return "Không đọc được những gì đã thay đổi: " + error;
}

std::string FolderMissing(const std::string& folder) {
  return "Thư mục " + folder + " không có. Hãy kiểm tra lại đường dẫn đến thư mục cài đặt VYR rồi bấm Chấp nhận.";
}

namespace {
std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }
}  // namespace

std::string ToolTookTooLong(const std::string& tool, std::uint64_t seconds, std::uint64_t databaseBytes) {
  return "Đã dừng " + tool + ": chạy quá " + std::to_string(seconds) + " giây mà chưa xong (giới hạn cho cơ sở dữ liệu " +
         Megabytes(databaseBytes) + "); cơ sở dữ liệu có thể bị hỏng nặng.";
}

std::string ToolGrewAFile(const std::string& tool, const std::string& file, std::uint64_t bytes,
                          std::uint64_t databaseBytes) {
  return "Đã dừng " + tool + ": file " + file + " đã lớn tới " + Megabytes(bytes) +
         ", quá xa so với cơ sở dữ liệu (" + Megabytes(databaseBytes) + "); cơ sở dữ liệu có thể bị hỏng nặng.";
}

std::string GfixFoundDamage(const std::string& pass, const std::string& errors) {
  return pass + " báo cơ sở dữ liệu bị hỏng thật sự (hỏng vật lý)" + (errors.empty() ? "" : ": " + errors) +
         ". Một phần dữ liệu hỏng có thể không cứu được; bản gốc vẫn ở bản sao an toàn.";
}

std::string ToolNotStarted(const std::string& tool) {
  return "Không chạy được " + tool + ": file có nhưng không khởi động được (không có quyền chạy, hỏng, hoặc đường dẫn "
         "quá dài). Chương trình không sửa tiếp.";
}

std::string GfixStoppedOnError(const std::string& pass, const std::string& line) {
  return pass + " dừng giữa chừng vì lỗi (\"" + line +
         "\"): cơ sở dữ liệu bị hỏng vật lý. Một phần dữ liệu hỏng có thể không cứu được; bản gốc vẫn ở bản sao an toàn.";
}

std::string GfixEndedWithoutAWord(const std::string& pass, std::uint32_t exitCode) {
  return pass + " kết thúc bất thường (mã thoát " + std::to_string(exitCode) +
         ") mà không báo gì: không biết cơ sở dữ liệu có bị hỏng không, nên coi như bị hỏng vật lý.";
}

std::string ToolResultDiscarded(const std::string& tool, const std::string& safetyCopyPath) {
  return "Bỏ kết quả của " + tool + ": đặt lại bản gốc từ " + safetyCopyPath + " rồi dựng lại từ bản gốc.";
}

std::string IndexActivated(const std::string& index, const std::string& table) {
  return "Đã bật chỉ mục " + index + " của bảng " + table + ".";
}

std::string IndexNotActivated(const std::string& index, const std::string& table, const std::string& error) {
  return "Không bật được chỉ mục " + index + " của bảng " + table + ": " + error;
}

std::string IndexLeftOff(const std::string& index, const std::string& table, const std::vector<std::string>& keys) {
  std::string list;
  for (const auto& key : keys) list += (list.empty() ? "" : "; ") + key;
  return "Chỉ mục " + index + " của bảng " + table + " vẫn tắt. Giá trị khoá gây lỗi: " +
         (list.empty() ? std::string("(không đọc được)") : list) + ".";
}

std::string RepairDoneIndexesOffBox(const std::vector<std::string>& indexes, const std::string& safetyCopyPath) {
  std::string list;
  for (const auto& index : indexes) list += (list.empty() ? "" : ", ") + index;
  return "Đã dựng lại cơ sở dữ liệu và VYR dùng được, nhưng các chỉ mục sau chưa bật được: " + list +
         ".\rCác giá trị khoá gây lỗi có trong nhật ký. Hãy gọi bộ phận hỗ trợ.\rBản gốc vẫn nằm trong " +
         safetyCopyPath + ".";
}

std::string BackupRetriedWithoutTable(const std::string& table) {
  return "gbak không đọc được bảng " + table +
         " (trang con trỏ hỏng): sao lưu lại một lần, bỏ dữ liệu bảng này (tuỳ chọn -skip_data).";
}

std::string TableLeftOutOfBackup(const std::string& table) {
  return "gbak chỉ sao lưu được khi bỏ dữ liệu bảng " + table +
         ": dựng lại sẽ làm mất dữ liệu bảng này, nên cơ sở dữ liệu không được dựng lại. Bản sao lưu thiếu bảng này "
         "vẫn ở VYRBK.FBK cho bộ phận hỗ trợ.";
}

std::string ToolEndedAfterItsError(const std::string& tool) {
  return tool + " đã báo lỗi và bỏ dở nhưng không tự kết thúc (cơ sở dữ liệu hỏng làm nó treo): chương trình đã dừng nó.";
}

std::string ServerCallTookTooLong(const std::string& step, std::uint64_t seconds) {
  return "Đã dừng " + step + ": chạy quá " + std::to_string(seconds) +
         " giây mà chưa xong; cơ sở dữ liệu có thể bị hỏng nặng.";
}

std::string FileMissing(const std::string& path) { return "Không có file " + path + "."; }

std::string StoppedByOperator(const std::string& step) { return "Đã dừng " + step + " theo yêu cầu của người dùng."; }

}  // namespace texts
