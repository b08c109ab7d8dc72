// Which output Korva plays into, from a hand-written pw-dump document shaped
// as PipeWire 0.3 prints it: a sink node's device.id and card.profile.device,
// its Device's Route params (the active routes: index, name, direction,
// device, devices, available) and EnumRoute params, and the Link objects of
// korva_sink.output. One card names its routes the analog-output-* way, one
// the UCM way ("[Out] Headphones"). And the profile chosen for an output,
// and the streams follow sends past Korva (sink_bypass.h).
#include "cli/sink/follow_applied.h"
#include "cli/sink/sink_bypass.h"
#include "cli/sink/sink_profiles.h"
#include "sinkfiles/follow_state.h"
#include "pwlive/output_graph.h"

#include <gtest/gtest.h>

#include <chrono>
#include <spa/utils/json.h>

#include <string>

namespace {

using namespace korva::pwlive;
using namespace korva::sinkfiles;

const char *const kDump = R"([
  { "id": 30, "type": "PipeWire:Interface:Node",
    "info": { "props": { "node.name": "korva_sink", "media.class": "Audio/Sink" } } },
  { "id": 31, "type": "PipeWire:Interface:Node",
    "info": { "props": { "node.name": "korva_sink.output", "media.class": "Stream/Output/Audio" } } },
  { "id": 40, "type": "PipeWire:Interface:Device",
    "info": { "props": { "device.name": "alsa_card.pci-0000_00_1f.3", "media.class": "Audio/Device" },
      "params": {
        "EnumRoute": [
          { "index": 0, "direction": "Input", "name": "analog-input-mic", "available": "yes", "devices": [ 5 ] },
          { "index": 1, "direction": "Output", "name": "analog-output-speaker", "description": "Speakers",
            "available": "unknown", "devices": [ 4 ] },
          { "index": 2, "direction": "Output", "name": "analog-output-headphones", "description": "Headphones",
            "available": "yes", "devices": [ 4 ] },
          { "index": 3, "direction": "Output", "name": "hdmi-output-0", "description": "HDMI",
            "available": "no", "devices": [ 7 ] } ],
        "Route": [
          { "index": 0, "direction": "Input", "device": 4, "name": "analog-input-mic", "devices": [ 5 ] },
          { "index": 3, "direction": "Output", "device": 7, "name": "hdmi-output-0", "devices": [ 4, 7 ] },
          { "index": 2, "direction": "Output", "device": 4, "name": "analog-output-headphones",
            "available": "yes", "devices": [ 4 ] } ] } } },
  { "id": 41, "type": "PipeWire:Interface:Device",
    "info": { "props": { "device.name": "alsa_card.pci-0000_00_1f.3-platform-skl_hda_dsp_generic" },
      "params": {
        "Route": [
          { "index": 0, "direction": "Output", "device": 2, "name": "[Out] Speaker", "devices": [ 2 ] },
          { "index": 1, "direction": "Output", "device": 3, "name": "[Out] Headphones", "devices": [ 3 ] } ] } } },
  { "id": 50, "type": "PipeWire:Interface:Node",
    "info": { "props": { "node.name": "alsa_output.pci-0000_00_1f.3.analog-stereo", "media.class": "Audio/Sink",
                         "device.id": 40, "card.profile.device": 4 } } },
  { "id": 51, "type": "PipeWire:Interface:Node",
    "info": { "props": {
      "node.name": "alsa_output.pci-0000_00_1f.3-platform-skl_hda_dsp_generic.HiFi__hw_sofhdadsp__sink",
                         "media.class": "Audio/Sink", "device.id": 41, "card.profile.device": 3 } } },
  { "id": 52, "type": "PipeWire:Interface:Node",
    "info": { "props": { "node.name": "null_out", "media.class": "Audio/Sink" } } },
  { "id": 60, "type": "PipeWire:Interface:Link",
    "info": { "output-node-id": 31, "input-node-id": 50, "state": "active" } },
  { "id": 61, "type": "PipeWire:Interface:Link",
    "info": { "output-node-id": 31, "input-node-id": 50, "state": "active" } },
  { "id": 62, "type": "PipeWire:Interface:Link",
    "info": { "output-node-id": 30, "input-node-id": 51, "state": "active" } }
])";

// The JSON value at `value` (`length` bytes) as text: a string unquoted.
std::string text_of(const char *value, int length)
{
    if (!spa_json_is_string(value, length))
        return std::string(value, length);
    std::string text(length + 1, '\0');
    spa_json_parse_stringn(value, length, text.data(), length + 1);
    return text.c_str();
}

int int_of(const char *value, int length)
{
    int number = -1;
    spa_json_parse_int(value, length, &number);
    return number;
}

// Calls `member` for each key and value of the object `json` has just entered.
template <class F> void each_member(spa_json *object, F member)
{
    char key[256];
    const char *value;
    while (spa_json_get_string(object, key, sizeof key) > 0) {
        const int length = spa_json_next(object, &value);
        if (length <= 0)
            return;
        spa_json sub;
        if (spa_json_is_container(value, length))
            spa_json_enter(object, &sub);
        member(std::string(key), value, length, sub);
    }
}

std::vector<GraphRoute> routes_of(spa_json *array)
{
    std::vector<GraphRoute> routes;
    spa_json object;
    while (spa_json_enter_object(array, &object) > 0) {
        GraphRoute route;
        each_member(&object, [&](const std::string &key, const char *value, int length, spa_json &sub) {
            if (key == "index")
                route.index = int_of(value, length);
            else if (key == "name")
                route.name = text_of(value, length);
            else if (key == "description")
                route.description = text_of(value, length);
            else if (key == "direction")
                route.output = text_of(value, length) == "Output";
            else if (key == "device")
                route.device = int_of(value, length);
            else if (key == "available")
                route.available = text_of(value, length);
            else if (key == "devices")
                for (int device; spa_json_get_int(&sub, &device) > 0;)
                    route.devices.push_back(device);
        });
        routes.push_back(route);
    }
    return routes;
}

// The nodes, links and devices of a pw-dump document.
Graph parse_dump(const std::string &dump)
{
    Graph graph;
    spa_json json, objects, object;
    spa_json_init(&json, dump.data(), dump.size());
    EXPECT_GT(spa_json_enter_array(&json, &objects), 0);
    while (spa_json_enter_object(&objects, &object) > 0) {
        uint32_t id = kNoId;
        std::string type;
        GraphNode node;
        GraphLink link;
        GraphDevice device;
        each_member(&object, [&](const std::string &key, const char *value, int length, spa_json &info) {
            if (key == "id")
                id = static_cast<uint32_t>(int_of(value, length));
            else if (key == "type")
                type = text_of(value, length);
            if (key != "info")
                return;
            each_member(&info, [&](const std::string &key, const char *value, int length, spa_json &sub) {
                if (key == "output-node-id")
                    link.output_node = static_cast<uint32_t>(int_of(value, length));
                else if (key == "input-node-id")
                    link.input_node = static_cast<uint32_t>(int_of(value, length));
                else if (key == "state")
                    link.failed = text_of(value, length) == "error";
                else if (key == "props")
                    each_member(&sub, [&](const std::string &key, const char *value, int length, spa_json &) {
                        if (key == "node.name")
                            node.name = text_of(value, length);
                        else if (key == "media.class")
                            node.media_class = text_of(value, length);
                        else if (key == "device.id")
                            node.device_id = static_cast<uint32_t>(int_of(value, length));
                        else if (key == "card.profile.device")
                            node.profile_device = int_of(value, length);
                        else if (key == "device.name")
                            device.name = text_of(value, length);
                    });
                else if (key == "params")
                    each_member(&sub, [&](const std::string &key, const char *, int, spa_json &list) {
                        if (key == "Route")
                            device.routes = routes_of(&list);
                        else if (key == "EnumRoute")
                            device.enum_routes = routes_of(&list);
                    });
            });
        });
        if (type == "PipeWire:Interface:Node") {
            node.id = id;
            graph.nodes.push_back(node);
        } else if (type == "PipeWire:Interface:Link") {
            link.id = id;
            graph.links.push_back(link);
        } else if (type == "PipeWire:Interface:Device") {
            device.id = id;
            graph.devices.push_back(device);
        }
    }
    return graph;
}

GraphLink *link_of(Graph &graph, uint32_t id)
{
    for (GraphLink &link : graph.links)
        if (link.id == id)
            return &link;
    return nullptr;
}

} // namespace

TEST(OutputGraph, TheRouteInUseIsTheOutputRouteActiveOnTheSinksProfileDevice)
{
    Graph graph = parse_dump(kDump);
    ASSERT_EQ(graph.nodes.size(), 5u);
    ASSERT_EQ(graph.devices.size(), 2u);
    // Not the input route on device 4, nor HDMI whose `devices` holds 4 but
    // which is active on 7.
    EXPECT_EQ(output_in_use(graph),
              (OutputInUse{"alsa_output.pci-0000_00_1f.3.analog-stereo", "analog-output-headphones"}));
    // Every output route the node could have, from EnumRoute's `devices`.
    const GraphNode *analog = find_node(graph, 50);
    ASSERT_NE(analog, nullptr);
    std::vector<std::string> possible;
    for (const GraphRoute *route : possible_routes(graph, *analog))
        possible.push_back(route->name + "/" + route->available);
    EXPECT_EQ(possible, (std::vector<std::string>{"analog-output-speaker/unknown", "analog-output-headphones/yes"}));

    // Relinked to the UCM card's node: its profile device 3 is headphones.
    link_of(graph, 60)->input_node = 51;
    link_of(graph, 61)->input_node = 51;
    EXPECT_EQ(output_in_use(graph),
              (OutputInUse{"alsa_output.pci-0000_00_1f.3-platform-skl_hda_dsp_generic.HiFi__hw_sofhdadsp__sink",
                           "[Out] Headphones"}));

    // Half moved to a node without a device: the node most links lead to
    // wins; once both lead there it has no route.
    link_of(graph, 60)->input_node = 52;
    EXPECT_EQ(find_node(graph, 51)->name, output_in_use(graph).node);   // a tie: the lower id

    link_of(graph, 61)->input_node = 52;
    EXPECT_EQ(output_in_use(graph), (OutputInUse{"null_out", ""}));

    // Failed links, and links of other nodes, are not Korva's output.
    link_of(graph, 60)->failed = link_of(graph, 61)->failed = true;
    EXPECT_EQ(output_in_use(graph), OutputInUse{});
}

TEST(OutputGraph, AProfileForTheRouteWinsOverTheNodesWhichWinsOverTheFallback)
{
    SinkProfiles profiles;
    ASSERT_TRUE(parse_sink_profiles("# hand-written\n"
                                    "profile \"card:[Out] Headphones\" \"Headphones\"\n"
                                    "  profile \"card\" \"/p/speakers.kp\"   \n"
                                    "profile \"odd:name\" \"Late night\"\n"
                                    "fallback \"Flat\"\n",
                                    "p", profiles).ok());
    EXPECT_EQ(choose_profile(profiles, "card", "[Out] Headphones").preset, "Headphones");
    EXPECT_EQ(choose_profile(profiles, "card", "[Out] Speaker").preset, "/p/speakers.kp");
    EXPECT_EQ(choose_profile(profiles, "card", "").device, "card");
    EXPECT_EQ(choose_profile(profiles, "odd:name", "").preset, "Late night");   // a colon in a node name
    const ProfileChoice other = choose_profile(profiles, "other", "x");
    EXPECT_EQ(other.preset, "Flat");
    EXPECT_EQ(other.device, "");
    EXPECT_EQ(choose_profile(SinkProfiles{}, "other", "x").preset, "");

    // Quotes and backslashes come back as written; a line of another form
    // names its line.
    profiles.devices = {{"a \"b\" \\ c:[Out] x", "p"}};
    SinkProfiles again;
    ASSERT_TRUE(parse_sink_profiles(sink_profiles_text(profiles), "p", again).ok());
    EXPECT_EQ(again.devices, profiles.devices);
    for (const char *bad : {"profile \"a\"\n", "profile a b\n", "fallback \"\"\n", "profile \"a\" \"b\" x\n",
                            "fallback \"a\\q\"\n", "prof \"a\" \"b\"\n"}) {
        const Status status = parse_sink_profiles(std::string("\n") + bad, "f", again);
        EXPECT_NE(status.message.find("f:2: not a profile line"), std::string::npos) << bad << status.message;
    }
}

// A device or the fallback given twice is an error naming both lines; the
// reader is linear (300,000 lines in well under a second) and refuses more
// than 1 MiB.
TEST(OutputGraph, TheProfilesReaderRefusesATwiceNamedEntryAndIsLinear)
{
    SinkProfiles profiles;
    for (const auto &[text, message] : std::vector<std::pair<std::string, std::string>>{
             {"profile \"a\" \"x\"\n# c\nprofile \"b\" \"x\"\nprofile \"a\" \"y\"\n",
              "f:4: a second profile for \"a\" (the first is on line 1)"},
             {"fallback \"x\"\n\nfallback \"x\"\n", "f:3: a second fallback (the first is on line 1)"},
             {std::string((1 << 20) + 1, '\n'), "f: is larger than 1 MiB"}}) {
        const Status status = parse_sink_profiles(text, "f", profiles);
        EXPECT_NE(status.message.find(message), std::string::npos) << status.message;
        EXPECT_TRUE(profiles.devices.empty());
    }

    std::string many;
    for (int i = 0; i < 35000; ++i)
        many += "profile \"d" + std::to_string(10000 + i) + "\" \"p\"\n";
    many += std::string(300000 - 35000, '\n');
    ASSERT_LE(many.size(), 1u << 20);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(parse_sink_profiles(many, "f", profiles).ok());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.5);
    EXPECT_EQ(profiles.devices.size(), 35000u);
}

// follow's record of what it applied: a line of another form, or one given
// twice, is named; a record without an output remembers nothing.
TEST(OutputGraph, FollowsRecordIsReadStrictlyWithItsLine)
{
    FollowTarget target;
    ASSERT_TRUE(parse_follow_applied("# c\noutput \"spk\" \"-\"\npreset \"/p/a.kp\"\n", "f", target).ok());
    EXPECT_EQ(target, (FollowTarget{"spk", "", "/p/a.kp"}));
    for (const auto &[text, message] : std::vector<std::pair<std::string, std::string>>{
             {"output \"spk\" \"-\"\npreset /p/a.kp\n", "f:2: not a line of follow's record"},
             {"output \"spk\" \"-\"\noutput \"hp\" \"-\"\n", "f:2: output again (first on line 1)"},
             {"output \"sp" + std::string(1, '\0') + "k\" \"-\"\n", "f:1: not a line"}}) {
        const Status status = parse_follow_applied(text, "f", target);
        EXPECT_NE(status.message.find(message), std::string::npos) << status.message;
        EXPECT_EQ(target, FollowTarget{});
    }
}

// What the window's title says of follow's state: the output with its route,
// then the preset applied, or why there is none.
TEST(OutputGraph, TheFollowStateSummaryNamesOutputAndPresetOrTheProblem)
{
    using korva::sinkfiles::follow_state_summary;
    const std::map<std::string, std::string> applied{
        {"output", "alsa_output.card"}, {"route", "[Out] Headphones"}, {"profile", "alsa_output.card:[Out] Headphones"},
        {"preset", "Headphones"}, {"applied", "yes"}, {"problem", ""}};
    EXPECT_EQ(follow_state_summary(applied), "alsa_output.card:[Out] Headphones: Headphones");
    auto fallback = applied;
    fallback["route"] = "";
    fallback["profile"] = "fallback";
    fallback["applied"] = "kept";
    EXPECT_EQ(follow_state_summary(fallback), "alsa_output.card: Headphones (fallback)");
    auto broken = applied;
    broken["applied"] = "no";
    broken["problem"] = "gone.kp: No such file or directory";
    EXPECT_EQ(follow_state_summary(broken),
              "alsa_output.card:[Out] Headphones: profile not applied (gone.kp: No such file or directory)");
    auto none = applied;
    none["profile"] = "none";
    EXPECT_EQ(follow_state_summary(none), "alsa_output.card:[Out] Headphones: no profile");
    EXPECT_EQ(follow_state_summary({}), "");
}

// Which streams follow sends past Korva, step by step over one memory: a
// call and an excluded program's stream go to the output Korva plays into
// and follow it when it changes; a stream moved by anyone else, one made
// with a target of its own, Korva's own stream and a music stream are left
// alone; a program included again gets its target removed.
TEST(SinkBypass, CallsAndExcludedProgramsFollowTheOutputAndAStreamMovedByHandIsLeft)
{
    const auto stream = [](uint32_t id, std::string app, std::string role, std::string target = "",
                           std::string own = "", std::string name = "player") {
        LiveStream s;
        s.id = id;
        s.serial = "s" + std::to_string(id);
        s.name = name;
        s.application = app;
        s.binary = app + "-bin";
        s.role = role;
        s.target = target;
        s.own_target = own;
        return s;
    };
    const SinkApps apps{{"Zoom-BIN"}};
    const struct {
        std::vector<LiveStream> streams;
        std::string output;
        SinkApps apps;
        std::string actions;   // "ID>TARGET" each; "ID>" removes
        size_t listed;
    } steps[] = {
        {{stream(1, "talk", "Communication"), stream(2, "zoom", "Music"), stream(3, "music", "Music"),
          stream(4, "", "Communication", "", "", "korva_sink.output"), stream(5, "own", "phone", "", "hp")},
         "spk", apps, "1>spk 2>spk ", 2},
        // The targets came back; the output changes; a lower-case phone call starts.
        {{stream(1, "talk", "Communication", "spk"), stream(2, "zoom", "Music", "spk"), stream(6, "tel", "phone")},
         "hp", apps, "1>hp 2>hp 6>hp ", 3},
        // The call is moved by hand (a mixer gives a serial); zoom is included again.
        {{stream(1, "talk", "Communication", "77"), stream(2, "zoom", "Music", "hp"), stream(6, "tel", "phone", "hp")},
         "hp", {}, "2> ", 1},
        // The output changes again: the moved call stays where it was put.
        {{stream(1, "talk", "Communication", "77"), stream(6, "tel", "phone", "hp")}, "spk", {}, "6>spk ", 1},
        // While the output is not known nothing is sent anywhere new.
        {{stream(1, "talk", "Communication", "77"), stream(7, "new", "Communication")}, "", {}, "", 0},
    };
    BypassMemory memory;
    for (size_t i = 0; i < std::size(steps); ++i) {
        std::vector<std::string> listed;
        std::string actions;
        for (const BypassAction &action : plan_bypass(steps[i].streams, steps[i].output, steps[i].apps, memory, listed))
            actions += std::to_string(action.id) + ">" + action.target + " ";
        EXPECT_EQ(actions, steps[i].actions) << "step " << i;
        EXPECT_EQ(listed.size(), steps[i].listed) << "step " << i;
    }
    EXPECT_EQ(bypass_reason(stream(9, "x", "Music"), SinkApps{{"X"}}), "excluded");
}
