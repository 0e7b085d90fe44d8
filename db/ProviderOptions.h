// Provider options: lines "[prefix.]name=value" checked against the
// provider's option table, and passed to the physical connection with the
// table's defaults for every option the list does not name.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class TOptionKind { String, Integer, Boolean, Enumerator };

struct TOption {
  std::string FOptionName;
  TOptionKind Kind;
  std::string FDefaultValue;
  std::vector<std::string> Values;  // the names an enumerator accepts

  // Raises "Invalid value: V for option N" when the text does not fit.
  void Check(const std::string& value) const;
  // The value in its canonical text: "True"/"False", the integer, the enumerator's name.
  std::string Normalize(const std::string& value) const;
};

class TOptionTable {
 public:
  TOptionTable(std::string prefix, std::vector<TOption> options);

  const std::string& Prefix() const { return FPrefix; }
  const std::vector<TOption>& Options() const { return FOptions; }  // sorted by name
  const TOption* Find(const std::string& name) const;

  using TSetPropFunc = std::function<void(const TOption& option, const std::string& value)>;
  // Writes every option of the table: from the first matching line of the
  // source, checked and normalized, or the default.
  void ImportOptions(const std::vector<std::string>& source, const TSetPropFunc& setProp) const;

 private:
  std::string FPrefix;
  std::vector<TOption> FOptions;
};

// Splits a line or a name into prefix, name and value.
struct TOptionLine {
  std::string Prefix, Name, Value;
  bool HasValue = false;
  static TOptionLine Split(const std::string& text);
};

class TProviderOptionsList {
 public:
  // How the list finds its owner's provider table: nullptr when it has none.
  using TGetProviderFunc = std::function<const TOptionTable*(const std::string& prefix)>;

  explicit TProviderOptionsList(TGetProviderFunc getProvider) : FGetProviderFunc(std::move(getProvider)) {}

  // Called before and after every change.
  std::function<void()> BeforeChange;
  std::function<void()> AfterChange;

  void SetValue(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;
  std::string GetValue(const std::string& name) const;
  // Whole lines, checked and stored with a prefix.
  void Add(const std::string& line);

  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  const TOptionTable& TableFor(const std::string& prefix) const;
  const TOption& Lookup(const TOptionTable& table, const std::string& name) const;
  void Change(const std::function<void()>& change);

  TGetProviderFunc FGetProviderFunc;
  std::vector<std::string> FLines;
};
