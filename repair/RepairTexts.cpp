#include "repair/RepairTexts.h"

#include <cstdio>

namespace texts {
namespace {

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string DatabaseMissing(const std::string& databasePath) { return "File: " + databasePath + " không có"; }

std::string DatabaseInUse(const std::string& databasePath) {
  return "Cơ sở dữ liệu " + databasePath +
         " đang được một chương trình khác mở (VYR hoặc Firebird server). "
         "Hãy đóng chương trình đó trước rồi sửa lại.";
}

std::string NotEnoughDiskSpace(std::uint64_t needed, std::uint64_t available) {
  return "Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần " + Megabytes(needed) + ", còn trống " +
         Megabytes(available) + ".";
}

std::string SafetyCopyFailed(const std::string& reason) { return "Không tạo được bản sao an toàn: " + reason; }

std::string SafetyCopyIncomplete(std::uint64_t copied, std::uint64_t expected) {
  return SafetyCopyFailed("bản sao có " + std::to_string(copied) + " byte, cơ sở dữ liệu có " +
                          std::to_string(expected) + " byte");
}

std::string CopyBackFailed(const std::string& safetyCopyPath, const std::string& reason) {
  return "Không chép lại được bản sao an toàn " + safetyCopyPath + ": " + reason;
}

std::string UnknownError() { return "Lỗi không xác định"; }

}  // namespace texts
