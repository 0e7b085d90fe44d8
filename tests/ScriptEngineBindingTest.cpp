#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "support/LoadedLibrary.h"
#include "tools/ScriptEngineComponent.h"

namespace {

// The fake engine's own exports, reached through the library the component loaded.
struct TFakeEngine {
  TLoadedLibrary library{FAKE_ENGINE_PATH, false};
  void SetProgram(const char* steps) { Call<void (*)(const char*)>("FakeEngine_SetProgram")(steps); }
  std::string LastScriptBytes() {
    return std::string(Call<const char* (*)()>("FakeEngine_LastScript")(),
                       Call<std::size_t (*)()>("FakeEngine_LastScriptSize")());
  }
  std::string Answers() { return Call<const char* (*)()>("FakeEngine_Answers")(); }
  template <typename F>
  F Call(const char* name) {
    return library.Call<F>(name);
  }
};

TEST(ScriptEngineBinding, MissingLibraryFailsWithTheSystemsText) {
  try {
    TScriptEngineComponent component("/no/such/" + TScriptEngineComponent::DefaultLibrary);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_NE(error.Message().find("/no/such/" + TScriptEngineComponent::DefaultLibrary), std::string::npos)
        << error.Message();
  }
}

TEST(ScriptEngineBinding, LibraryWithoutConnectIsInvalidAndReleased) {
  try {
    TScriptEngineComponent component(FAKE_ENGINE_NO_CONNECT_PATH);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Invalid Library");
  }
  EXPECT_FALSE(TLoadedLibrary::IsLoaded(FAKE_ENGINE_NO_CONNECT_PATH));
}

TEST(ScriptEngineBinding, ScriptReachesTheEngineAsLinesEndedByCrLf) {
  TScriptEngineComponent component(FAKE_ENGINE_PATH);
  TFakeEngine engine;
  engine.SetProgram("");
  component.Script().Add("a");
  component.Script().Add("b");
  component.ExecuteScript();
  EXPECT_EQ(engine.LastScriptBytes(), std::string("a\r\nb\r\n\0", 7));
  component.Script().SetText("a\rb");
  component.ExecuteScript();
  EXPECT_EQ(engine.LastScriptBytes(), std::string("a\r\nb\r\n\0", 7));
  component.Script().SetText("x\r\ny\nz\r\n");
  EXPECT_EQ(component.Script().Lines(), (std::vector<std::string>{"x", "y", "z"}));
}

TEST(ScriptEngineBinding, WithoutHandlersTheEngineGoesOnExceptAfterAFailure) {
  TScriptEngineComponent component(FAKE_ENGINE_PATH);
  TFakeEngine engine;
  engine.SetProgram("before:s:t|progress:p|after:s:1|after:s:0|after:s:2");
  component.ExecuteScript();
  EXPECT_EQ(engine.Answers(), "0,0,0,1,1");
}

TEST(ScriptEngineBinding, ScriptErrorWithoutHandlerIsRaisedFromExecuteScript) {
  TScriptEngineComponent component(FAKE_ENGINE_PATH);
  TFakeEngine engine;
  engine.SetProgram("error:stmt 1:bad thing|progress:never");
  try {
    component.ExecuteScript();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "bad thing (\"stmt 1\")");
  }
  EXPECT_EQ(engine.Answers(), "1");  // the engine was told to stop
  EXPECT_TRUE(component.LastScriptFailed());
}

TEST(ScriptEngineBinding, HandlersDecideAndNullTextsArriveEmpty) {
  TScriptEngineComponent component(FAKE_ENGINE_PATH);
  TFakeEngine engine;
  std::vector<std::string> seen;
  component.OnScriptError = [&](const std::string& s, const std::string& e, bool&) { seen.push_back(s + "/" + e); };
  component.OnBlockProgress = [&](const std::string& m, bool& go) {
    seen.push_back(m);
    go = false;
  };
  component.OnAfterStatement = [&](const std::string&, bool success, bool& go) {
    seen.push_back(success ? "ok" : "failed");
    go = true;
  };
  engine.SetProgram("progress:null|after:x:0|error:null:msg");
  component.ExecuteScript();
  EXPECT_EQ(engine.Answers(), "1,0,1");  // an error handler that does nothing stops the engine
  EXPECT_EQ(seen, (std::vector<std::string>{"", "failed", "/msg"}));
}

TEST(ScriptEngineBinding, ALaterLibraryNameIsOnlyStored) {
  TScriptEngineComponent component(FAKE_ENGINE_PATH);
  component.SetScriptEngineDLL("/no/such/library.so");
  TFakeEngine engine;
  engine.SetProgram("");
  component.Script().Add("still runs");
  component.ExecuteScript();
  EXPECT_EQ(engine.LastScriptBytes(), std::string("still runs\r\n\0", 13));
  EXPECT_EQ(component.ScriptEngineDLL(), "/no/such/library.so");
}

}  // namespace
