// Script routines bound to events of host objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"

namespace vantrel {
namespace {

using Log = std::vector<std::string>;

class Button : public TObject {
 public:
  MethodPointer on_click;
  MethodPointer on_hover;

  void Click() { CallMethodPointer(on_click, static_cast<TObject*>(this)); }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
};

MethodPointer* ClickField(TObject& object) { return &static_cast<Button&>(object).on_click; }
MethodPointer* HoverField(TObject& object) { return &static_cast<Button&>(object).on_hover; }
Variant ReadCaption(const TObject&) { return Variant("OK"); }

const PublishedProperty kButtonProperties[] = {
    {.name = "OnClick", .kind = vkMethod, .event_type = "TNotifyEvent", .event_field = &ClickField},
    {.name = "OnHover", .kind = vkMethod, .event_type = "THoverEvent", .event_field = &HoverField},
    {.name = "Caption", .kind = vkString, .getter = &ReadCaption},
};
const PublishedProperty& kOnClick = kButtonProperties[0];
const PublishedProperty& kOnHover = kButtonProperties[1];
const PublishedProperty& kCaption = kButtonProperties[2];

const ClassInfo Button::kClassInfo = {"TButton", &TObject::kClassInfo, kButtonProperties};

// Events of type void(void* data, TObject* sender).
void NotifyAdapter(void* data, TObject* sender) {
  auto& dispatcher = *static_cast<EventDispatcher*>(data);
  dispatcher.Dispatch({Variant::Object(sender)},
                      [&] { CallMethodPointer(dispatcher.Previous(), sender); });
}

void NativeClick(void* data, TObject*) { static_cast<Log*>(data)->push_back("native"); }

class EventPropertyTest : public ::testing::Test {
 protected:
  EventPropertyTest() {
    RegisterEventAdapter({"TNotifyEvent", ToMethodCode(&NotifyAdapter)});
    scripter_.RegisterHostClass(&Button::kClassInfo);
    scripter_.RegisterConstant("button", Variant::Object(&button_));
    scripter_.InternalClass().RegisterMethod(
        "log", 1, false, HostHandler::Of<&EventPropertyTest::Record>(this), nullptr, vkNone);
  }
  void Record(VirtualMachine& machine) { log_.push_back(machine.GetArgAsString(0)); }
  Variant Run(std::string_view body) {
    StringList lines;
    lines.SetText("sub clicked(sender)\r\n  log(\"script\")\r\nend sub\r\n" + std::string(body));
    scripter_.SetSourceCode(lines);
    return scripter_.Execute();
  }
  MethodPointer Native() { return {ToMethodCode(&NativeClick), &log_}; }

  BasicScripter scripter_;
  Button button_;
  Log log_;
};

TEST_F(EventPropertyTest, RoutineBoundByAScriptRunsWhenTheHostFiresTheEvent) {
  EXPECT_EQ(Run("button.OnClick = \"clicked\"\r\nmain = button.OnClick").ToString(), "clicked");
  button_.Click();
  button_.Click();
  EXPECT_EQ(log_, (Log{"script", "script"}));
}

TEST_F(EventPropertyTest, SetModeChainsTheRoutineBeforeOrAfterTheNativeHandler) {
  button_.on_click = Native();
  scripter_.SetEventSetMode(esAddEventOnTop);
  Run("button.OnClick = \"clicked\"");
  button_.Click();
  EXPECT_EQ(log_, (Log{"script", "native"}));

  log_.clear();
  button_.on_click = Native();
  scripter_.SetEventSetMode(esAddEventOnBottom);
  Run("button.OnClick = \"clicked\"");
  button_.Click();
  EXPECT_EQ(log_, (Log{"native", "script"}));

  log_.clear();
  button_.on_click = Native();
  scripter_.SetEventSetMode(esReplaceEvent);
  Run("button.OnClick = \"clicked\"");
  button_.Click();
  EXPECT_EQ(log_, (Log{"script"}));
}

TEST_F(EventPropertyTest, UnsetModesRestoreWhatTheyPromise) {
  ScripterEventBroker& broker = scripter_.EventBroker();
  auto bind_two = [&] {
    button_.on_click = Native();
    broker.SetEvent(button_, kOnClick, "a", esReplaceEvent);
    broker.SetEvent(button_, kOnClick, "b", esReplaceEvent);
  };
  bind_two();
  broker.UnsetEvent(button_, kOnClick, euPreviousEvent);
  EXPECT_EQ(broker.EventValue(button_, kOnClick).ToString(), "a");
  broker.UnsetEvent(button_, kOnClick, euPreviousEvent);
  EXPECT_EQ(button_.on_click, Native());

  bind_two();
  broker.UnsetEvent(button_, kOnClick, euOriginalEvent);
  EXPECT_EQ(button_.on_click, Native());

  bind_two();
  broker.UnsetEvent(button_, kOnClick, euClearEvent);
  EXPECT_FALSE(button_.on_click);
  EXPECT_TRUE(broker.EventValue(button_, kOnClick).IsNull());

  bind_two();
  broker.UnsetEvent(button_, kOnClick, euReplaceNil);
  EXPECT_FALSE(button_.on_click);
}

TEST_F(EventPropertyTest, ScriptUnbindsWithNullAndReadsANativeHandlerAsAddressText) {
  button_.on_click = Native();
  scripter_.SetEventUnsetMode(euPreviousEvent);
  std::string native = Run("main = button.OnClick").ToString();
  EXPECT_EQ(native.rfind("@", 0), 0u) << native;
  Run("button.OnClick = \"clicked\"\r\nbutton.OnClick = null");
  EXPECT_EQ(button_.on_click, Native());
}

TEST_F(EventPropertyTest, EventWithoutAdapterAndPlainPropertyAreRefused) {
  ScripterEventBroker& broker = scripter_.EventBroker();
  try {
    broker.SetEvent(button_, kOnHover, "clicked", esReplaceEvent);
    FAIL() << "expected an error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Event adapter not defined for 'OnHover' property (THoverEvent)");
  }
  try {
    broker.SetEvent(button_, kCaption, "clicked", esReplaceEvent);
    FAIL() << "expected an error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Invalid property (event) information or property is not published");
  }
  EXPECT_FALSE(button_.on_hover);
}

TEST_F(EventPropertyTest, BrokerHandlersCanCancelBindingUnbindingAndRunning) {
  ScripterEventBroker& broker = scripter_.EventBroker();
  bool allow = false;
  broker.SetOnSettingEvent([&](ScripterEventBroker&, TObject&, std::string_view prop,
                               std::string_view routine, CustomScripter&, EventSetKind,
                               bool& procede) {
    EXPECT_EQ(prop, "OnClick");
    EXPECT_EQ(routine, "clicked");
    procede = allow;
  });
  Run("button.OnClick = \"clicked\"");
  EXPECT_FALSE(button_.on_click);

  allow = true;
  int set_events = 0;
  broker.SetOnSetEvent([&](EventDispatcher& dispatcher) {
    ++set_events;
    EXPECT_EQ(dispatcher.RoutineName(), "clicked");
  });
  broker.SetOnExecuteEvent([](EventDispatcher&, bool& execute) { execute = false; });
  broker.SetOnUnsettingEvent([](EventDispatcher&, bool& procede) { procede = false; });
  Run("button.OnClick = \"clicked\"\r\nbutton.OnClick = 0");
  EXPECT_EQ(set_events, 1);
  ASSERT_TRUE(button_.on_click) << "unbinding was cancelled";
  button_.Click();
  EXPECT_TRUE(log_.empty()) << "running was cancelled";
}

TEST(EventSupportTest, WithoutEventSupportEventsAreNotPublished) {
  BasicScripter scripter;
  scripter.SetEventSupport(false);
  HostClass& entry = scripter.RegisterHostClass(&Button::kClassInfo);
  EXPECT_EQ(entry.FindProperty("OnClick"), nullptr);
  EXPECT_NE(entry.FindProperty("Caption"), nullptr);
}

}  // namespace
}  // namespace vantrel
