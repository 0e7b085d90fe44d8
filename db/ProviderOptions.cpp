#include "db/ProviderOptions.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include <algorithm>
#include <strings.h>

#include "db/DbErrors.h"
#include "platform/Utf8.h"

namespace {

bool SameText(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

bool IsInteger(const std::string& text) {
  if (text.empty()) return false;
  std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// Integer options end up in 32-bit settings (a dialect, a length, a port).
bool FitsInt32(const std::string& text) {
  errno = 0;
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  return errno != ERANGE && number >= INT32_MIN && number <= INT32_MAX;
}

}  // namespace

void TOption::Check(const std::string& value) const {
  const std::string text = platform::TrimControlAndBlanks(value);
  bool fits = true;
  switch (Kind) {
    case TOptionKind::String: break;
    case TOptionKind::Integer: fits = IsInteger(text) && FitsInt32(text); break;
    case TOptionKind::Boolean: fits = SameText(text, "True") || SameText(text, "False"); break;
    case TOptionKind::Enumerator:
      fits = std::any_of(Values.begin(), Values.end(), [&](const std::string& v) { return SameText(v, text); });
      break;
  }
  if (!fits) throw Exception("Invalid value: " + value + " for option " + FOptionName);
}

std::string TOption::Normalize(const std::string& value) const {
  const std::string text = platform::TrimControlAndBlanks(value);
  switch (Kind) {
    case TOptionKind::String: return value;
    case TOptionKind::Integer: return std::to_string(std::stoll(text));
    case TOptionKind::Boolean: return SameText(text, "True") ? "True" : "False";
    case TOptionKind::Enumerator:
      for (const auto& v : Values)
        if (SameText(v, text)) return v;
  }
  return value;
}

TOptionTable::TOptionTable(std::string prefix, std::vector<TOption> options)
    : FPrefix(std::move(prefix)), FOptions(std::move(options)) {
  std::sort(FOptions.begin(), FOptions.end(), [](const TOption& a, const TOption& b) {
    return ::strcasecmp(a.FOptionName.c_str(), b.FOptionName.c_str()) < 0;
  });
}

const TOption* TOptionTable::Find(const std::string& name) const {
  for (const auto& option : FOptions)
    if (SameText(option.FOptionName, name)) return &option;
  return nullptr;
}

void TOptionTable::ImportOptions(const std::vector<std::string>& source, const TSetPropFunc& setProp) const {
  for (const auto& option : FOptions) {
    std::string value = option.FDefaultValue;
    for (const auto& line : source) {
      const TOptionLine parts = TOptionLine::Split(line);
      if ((parts.Prefix.empty() || SameText(parts.Prefix, FPrefix)) && SameText(parts.Name, option.FOptionName)) {
        option.Check(parts.Value);
        value = option.Normalize(parts.Value);
        break;
      }
    }
    setProp(option, value);
  }
}

TOptionLine TOptionLine::Split(const std::string& text) {
  TOptionLine line;
  const std::size_t equals = text.find('=');
  const std::string namePart = text.substr(0, equals);
  if (equals != std::string::npos) {
    line.Value = text.substr(equals + 1);
    line.HasValue = true;
  }
  const std::size_t dot = namePart.find('.');
  if (dot != std::string::npos) {
    line.Prefix = namePart.substr(0, dot);
    line.Name = namePart.substr(dot + 1);
  } else {
    line.Name = namePart;
  }
  return line;
}

const TOptionTable& TProviderOptionsList::TableFor(const std::string& prefix) const {
  const TOptionTable* table = FGetProviderFunc ? FGetProviderFunc(prefix) : nullptr;
  if (table == nullptr) {
    if (prefix.empty()) throw EDatabaseError("Provider is not defined");
    throw Exception(prefix + " is not a valid provider name");
  }
  return *table;
}

const TOption& TProviderOptionsList::Lookup(const TOptionTable& table, const std::string& name) const {
  const TOption* option = table.Find(name);
  if (option == nullptr) throw Exception("\"" + name + "\" is not a valid option name for " + table.Prefix() + " provider");
  return *option;
}

void TProviderOptionsList::Change(const std::function<void()>& change) {
  if (BeforeChange) BeforeChange();
  change();
  if (AfterChange) AfterChange();
}

void TProviderOptionsList::SetValue(const std::string& name, const std::string& value) {
  const TOptionLine parts = TOptionLine::Split(name);
  const TOptionTable& table = TableFor(parts.Prefix);
  const TOption& option = Lookup(table, parts.Name);
  if (!value.empty()) option.Check(value);
  const std::string stored = (parts.Prefix.empty() ? table.Prefix() : parts.Prefix) + "." + option.FOptionName;
  const int index = IndexOfName(name);
  Change([&] {
    if (!value.empty() && index >= 0) FLines[index] = stored + "=" + value;
    else if (!value.empty()) FLines.push_back(stored + "=" + value);
    else if (index >= 0) FLines.erase(FLines.begin() + index);
  });
}

int TProviderOptionsList::IndexOfName(const std::string& name) const {
  auto find = [this](const std::string& wanted) {
    for (std::size_t i = 0; i < FLines.size(); ++i)
      if (SameText(FLines[i].substr(0, FLines[i].find('=')), wanted)) return static_cast<int>(i);
    return -1;
  };
  int index = find(name);
  if (index >= 0) return index;
  if (TOptionLine::Split(name).Prefix.empty()) {
    const TOptionTable* table = FGetProviderFunc ? FGetProviderFunc("") : nullptr;
    if (table != nullptr) return find(table->Prefix() + "." + name);
  }
  return -1;
}

std::string TProviderOptionsList::GetValue(const std::string& name) const {
  const int index = IndexOfName(name);
  if (index >= 0) return TOptionLine::Split(FLines[index]).Value;
  const TOptionLine parts = TOptionLine::Split(name);
  Lookup(TableFor(parts.Prefix), parts.Name);
  return std::string();
}

void TProviderOptionsList::Add(const std::string& line) {
  const TOptionLine parts = TOptionLine::Split(line);
  const TOptionTable& table = TableFor(parts.Prefix);
  const TOption& option = Lookup(table, parts.Name);
  option.Check(parts.Value);
  const std::string stored =
      (parts.Prefix.empty() ? table.Prefix() : parts.Prefix) + "." + option.FOptionName + "=" + parts.Value;
  Change([&] { FLines.push_back(stored); });
}
