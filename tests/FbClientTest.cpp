#include <gtest/gtest.h>

#include "db/DbConnection.h"
#include "db/FbCall.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/NativeNames.h"
#include "support/LoadedLibrary.h"
#include "support/TestFolder.h"

namespace {

// A private copy of a fake client under a new name: each copy is a library
// of its own, loaded once by the registry.
class TFakeClientCopy {
 public:
  explicit TFakeClientCopy(const char* source = FAKE_CLIENT_PATH)
      : FPath(CopyOf(source)), FLibrary(std::make_unique<TLoadedLibrary>(FPath, true)) {}

  const std::string& Path() const { return FPath; }
  template <typename F>
  F Control(const char* name) const {
    return FLibrary->Call<F>(name);
  }
  void SetVersion(const char* text) const { Control<void (*)(const char*)>("FakeClient_SetVersion")(text); }
  std::string LastDpb() const {
    char bytes[4096];
    return std::string(bytes, Control<std::size_t (*)(char*)>("FakeClient_LastDpb")(bytes));
  }
  std::string LastFileName() const { return Control<const char* (*)()>("FakeClient_LastFileName")(); }

 private:
  std::string CopyOf(const char* source) {
    static int counter = 0;
    const std::string path = FFolder / ("fakeclient" + std::to_string(++counter) + SharedLibrarySuffix);
    if (auto failure = platform::CopyFile(source, path)) throw Exception(failure->Text);
    return path;
  }

  TTestFolder FFolder;
  std::string FPath;
  std::unique_ptr<TLoadedLibrary> FLibrary;
};

TFbClient& ClientFor(const TFakeClientCopy& copy, const char* version) {
  copy.SetVersion(version);
  return TFbClientList::Instance().GetClient(copy.Path());
}

TEST(FbClient, VersionTextsDecideVersionAndThreadSafety) {
  TFakeClientCopy v30, v25, v21;
  TFbClient& firebird30 = ClientFor(v30, "LI-V6.3.11.33637 Firebird 3.0");
  EXPECT_EQ(firebird30.VersionSt, "3.0");
  EXPECT_EQ(firebird30.Version, 30000);
  EXPECT_TRUE(firebird30.IsClientLibraryThreadSafe);
  EXPECT_EQ(ClientFor(v25, "WI-V2.5.9 Firebird 2.5").Version, 25000);
  EXPECT_TRUE(ClientFor(v25, "").IsClientLibraryThreadSafe);  // the same library, shared
  TFbClient& firebird21 = ClientFor(v21, "WI-V2.1.7 Firebird 2.1");
  EXPECT_EQ(firebird21.Version, 21000);
  EXPECT_FALSE(firebird21.IsClientLibraryThreadSafe);
}

TEST(FbClient, WithoutAVersionFunctionTheClientIsVersion6AndSerialised) {
  TFakeClientCopy copy(FAKE_CLIENT_NO_VERSION_PATH);
  TFbClient& client = TFbClientList::Instance().GetClient(copy.Path());
  EXPECT_EQ(client.Version, 60000);
  EXPECT_FALSE(client.IsClientLibraryThreadSafe);
  EXPECT_THROW(client.Entry<void (*)()>(TFbEntry::isc_get_client_version), Exception);
}

TEST(FbClient, AVersionWithTwoDotsFailsAndIsNotRegistered) {
  TFakeClientCopy copy;
  copy.SetVersion("LI-V6.3.11 Firebird 3.0.11");
  EXPECT_THROW(TFbClientList::Instance().GetClient(copy.Path()), Exception);
  EXPECT_EQ(TFbClientList::Instance().FindClient(copy.Path()), nullptr);
}

TEST(FbClient, LibrariesAreSharedByTrimmedCaseInsensitiveName) {
  TFakeClientCopy copy;
  TFbClient& first = TFbClientList::Instance().GetClient("  " + copy.Path() + "  ");
  std::string upper = copy.Path();
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(&TFbClientList::Instance().GetClient(upper), &first);
  EXPECT_EQ(first.ClientDLL, copy.Path());
  EXPECT_NE(TFbClientList::Instance().FindClient(""), nullptr);
}

TEST(FbClient, MissingEntryPointsFailOnlyWhenCalled) {
  TFakeClientCopy copy;
  TFbClient& client = TFbClientList::Instance().GetClient(copy.Path());
  try {
    client.Entry<void (*)()>(TFbEntry::isc_blob_info);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Client library function is not linked");
  }
}

TEST(FbClient, NamedLibraryThatDoesNotLoadIsNamedInTheError) {
  try {
    TFbClientList::Instance().GetClient("  /no/such/" + std::string(platform::ClientLibraryName) + " ");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Cannot load client library: /no/such/" + std::string(platform::ClientLibraryName));
  }
}

// A connection with the repair's settings on a fake client.
struct TFakeConnection {
  TFakeClientCopy client;
  TDbConnection cnn;
  std::vector<std::string> events;
  explicit TFakeConnection(const char* version = "LI-V6.3.11.33637 Firebird 3.0") {
    client.SetVersion(version);
    cnn.SetProviderName("Firebird");
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.ProviderOptions().SetValue("ClientLibrary", client.Path());
    cnn.ProviderOptions().SetValue("UseUnicode", "True");
    cnn.SetDatabase("/srv/Kế toán/DATA/VYR.FDB");
    cnn.SetUsername("SYSDBA");
    cnn.SetPassword("quartzfin");
    cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { events.push_back(e.Message()); };
  }
};

TEST(FbConnection, TheRepairsSettingsSendThe28ByteDpbAndAUtf8FileName) {
  TFakeConnection fake;
  fake.cnn.Open();
  const std::string expected = std::string("\x01\x1c\x06SYSDBA\x1d\x09quartzfin\x30\x04UTF8\x4d\x00", 28);
  EXPECT_EQ(fake.client.LastDpb(), expected);
  EXPECT_EQ(fake.client.LastFileName(), "/srv/Kế toán/DATA/VYR.FDB");
  fake.cnn.Close();
  fake.cnn.Open();  // nothing changed: no second utf8_filename, the same buffer
  EXPECT_EQ(fake.client.LastDpb(), expected);
  EXPECT_EQ(fake.cnn.PhysicalConnection()->Params(), std::vector<std::string>{"utf8_filename"});
}

TEST(FbConnection, ClientsOutside25To5SendNoUtf8FilenameItem) {
  TFakeConnection fake("WI-V6.0 Firebird 6.0");
  fake.cnn.Open();
  EXPECT_EQ(fake.client.LastDpb(), std::string("\x01\x1c\x06SYSDBA\x1d\x09quartzfin\x30\x04UTF8", 26));
}

TEST(FbConnection, UseUnicodeWithoutCharsetSendsUnicodeFss) {
  TFakeConnection fake;
  fake.cnn.ProviderOptions().SetValue("Charset", "");
  fake.cnn.Open();
  EXPECT_NE(fake.client.LastDpb().find(std::string("\x30\x0bUNICODE_FSS", 13)), std::string::npos);
}

TEST(FbConnection, ATooLongDpbTextIsRefusedNotCut) {
  TFakeConnection fake;
  fake.cnn.SetUsername(std::string(300, 'u'));
  try {
    fake.cnn.Open();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_NE(error.Message().find("isc_dpb_user_name"), std::string::npos) << error.Message();
  }
  EXPECT_FALSE(fake.cnn.Connected());
}

TEST(FbConnection, AServerErrorOfTwoLinesReachesTheEventOnceThenTheCaller) {
  TFakeConnection fake;
  fake.client.Control<void (*)(const char*, const char*)>("FakeClient_FailAttach")("first", "second");
  try {
    fake.cnn.Open();
    FAIL();
  } catch (const EDbError& error) {
    EXPECT_EQ(error.Message(), "first\rsecond");
    EXPECT_EQ(error.ErrorCode, -902);
    ASSERT_NE(error.InnerError, nullptr);
    EXPECT_EQ(dynamic_cast<EFbError&>(*error.InnerError).ErrorNumber, 335544344);
  }
  EXPECT_EQ(fake.events, std::vector<std::string>{"first\rsecond"});
  EXPECT_FALSE(fake.cnn.Connected());
}

TEST(FbConnection, AHandlerThatClearsFailTurnsTheErrorIntoEAbort) {
  TFakeConnection fake;
  fake.client.Control<void (*)(const char*, const char*)>("FakeClient_FailAttach")("only", nullptr);
  fake.cnn.OnError = [](TDbConnection*, EDataAccessError&, bool& fail) { fail = false; };
  EXPECT_THROW(fake.cnn.Open(), EAbort);
}

}  // namespace
