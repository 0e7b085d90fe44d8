// The operator-facing texts of the repair procedure and the fixed account.
#pragma once

#include <cstdint>
#include <string>

namespace texts {

inline const std::string DatabaseUser = "SYSDBA";
inline const std::string DatabasePassword = "quartzfin";

inline const std::string RepairFailed = "Có lỗi khi sửa dữ liệu!";
inline const std::string RepairDone = "Đã thực hiện xong!\rChạy kiểm tra cấu trúc bảng và tạo năm làm việc";

std::string DatabaseMissing(const std::string& databasePath);
std::string DatabaseInUse(const std::string& databasePath);
std::string NotEnoughDiskSpace(std::uint64_t needed, std::uint64_t available);
std::string SafetyCopyFailed(const std::string& reason);
std::string SafetyCopyIncomplete(std::uint64_t copied, std::uint64_t expected);
std::string CopyBackFailed(const std::string& safetyCopyPath, const std::string& reason);
std::string UnknownError();

}  // namespace texts
