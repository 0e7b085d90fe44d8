#include <gtest/gtest.h>

#include <map>

#include "db/DbConnection.h"
#include "db/FirebirdProvider.h"
#include "platform/Exception.h"

namespace {

using Lines = std::vector<std::string>;

struct TOptions {
  TDbConnection cnn;
  TOptions() { cnn.SetProviderName("Firebird"); }
  TProviderOptionsList& List() { return cnn.ProviderOptions(); }
  std::map<std::string, std::string> Imported() {
    std::map<std::string, std::string> values;
    TFirebirdProvider::ConnectionOptions().ImportOptions(
        List().Lines(), [&](const TOption& o, const std::string& v) { values[o.FOptionName] = v; });
    return values;
  }
};

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

TEST(ProviderOptions, BareNamesFindAndReplacePrefixedLines) {
  TOptions options;
  options.List().Add("Firebird.Charset=UTF8");
  options.List().Add("Firebird.UseUnicode=True");
  options.List().SetValue("useunicode", "true");
  options.List().SetValue("ClientLibrary", "/opt/VYR 1.0/bin/libfbclient.so.2");
  EXPECT_EQ(options.List().Lines(), (Lines{"Firebird.Charset=UTF8", "Firebird.UseUnicode=true",
                                            "Firebird.ClientLibrary=/opt/VYR 1.0/bin/libfbclient.so.2"}));
  EXPECT_EQ(options.List().GetValue("Firebird.clientlibrary"), "/opt/VYR 1.0/bin/libfbclient.so.2");
  EXPECT_EQ(options.List().IndexOfName("Charset"), 0);
  EXPECT_EQ(options.Imported()["UseUnicode"], "True");
}

TEST(ProviderOptions, NamesAndValuesAreChecked) {
  TOptions options;
  EXPECT_EQ(MessageOf([&] { options.List().SetValue("Colour", "red"); }),
            "\"Colour\" is not a valid option name for Firebird provider");
  EXPECT_EQ(MessageOf([&] { options.List().SetValue("UseUnicode", "Yes"); }),
            "Invalid value: Yes for option UseUnicode");
  EXPECT_EQ(MessageOf([&] { options.List().SetValue("SQLDialect", "three"); }),
            "Invalid value: three for option SQLDialect");
  EXPECT_EQ(MessageOf([&] { options.List().SetValue("SQLDialect", "4294967297"); }),
            "Invalid value: 4294967297 for option SQLDialect");
  EXPECT_EQ(MessageOf([&] { options.List().SetValue("CharLength", "99999999999999999999"); }),
            "Invalid value: 99999999999999999999 for option CharLength");
  EXPECT_EQ(MessageOf([&] { options.List().GetValue("Colour"); }),
            "\"Colour\" is not a valid option name for Firebird provider");
  EXPECT_TRUE(options.List().Lines().empty());
  options.List().SetValue("Protocol", " netbeui ");
  EXPECT_EQ(options.Imported()["Protocol"], "NetBEUI");

  TDbConnection noProvider;
  EXPECT_EQ(MessageOf([&] { noProvider.ProviderOptions().SetValue("Charset", "UTF8"); }), "Provider is not defined");
  noProvider.ProviderOptions().SetValue("Firebird.Charset", "UTF8");  // a prefixed line needs no provider
  EXPECT_EQ(noProvider.ProviderOptions().Lines(), Lines{"Firebird.Charset=UTF8"});
}

TEST(ProviderOptions, AnEmptyValueRemovesTheLineAndImportWritesEveryDefault) {
  TOptions options;
  options.List().Add("Firebird.Charset=UTF8");
  options.List().Add("Firebird.UseUnicode=True");
  options.List().SetValue("SQLDialect", "1");
  options.List().SetValue("SQLDialect", "");
  EXPECT_EQ(options.List().Lines().size(), 2u);
  const auto values = options.Imported();
  EXPECT_EQ(values.size(), 11u);
  EXPECT_EQ(values.at("Charset"), "UTF8");
  EXPECT_EQ(values.at("UseUnicode"), "True");
  EXPECT_EQ(values.at("SQLDialect"), "3");
  EXPECT_EQ(values.at("ClientLibrary"), "");
  EXPECT_EQ(values.at("CharLength"), "0");
  EXPECT_EQ(values.at("SimpleNumericMap"), "True");
  EXPECT_EQ(values.at("Protocol"), "TCP");
}

TEST(ProviderOptions, ProviderNamesAreChecked) {
  TDbConnection cnn;
  EXPECT_EQ(MessageOf([&] { cnn.Open(); }), "Provider is not defined");
  cnn.SetProviderName(" Oracle ");
  EXPECT_EQ(MessageOf([&] { cnn.Open(); }), "Oracle is not a valid provider name");
}

}  // namespace
