// Which output Korva plays into, worked out from a picture of the PipeWire
// graph: the sink node that the Link objects of Korva's own output stream
// (korva_sink.output) lead to, and that node's active route.
//
// A sink node made by the ALSA monitor carries device.id (its Device object)
// and card.profile.device (which of the card's profile devices it plays on).
// The Device's Route params are its active routes, one per profile device,
// each naming that device in `device`; the route of the node is the output
// route whose `device` equals the node's card.profile.device. EnumRoute params
// list every route, each with the profile devices it can serve in `devices`:
// they name the routes an output could have (for `korva sink status`).
//
// No PipeWire here: the live client (output_watch.h) and the tests (from a
// pw-dump document) fill in the picture.
#ifndef KORVA_PWLIVE_OUTPUT_GRAPH_H
#define KORVA_PWLIVE_OUTPUT_GRAPH_H

#include <cstdint>
#include <string>
#include <vector>

namespace korva::pwlive {

constexpr uint32_t kNoId = 0xffffffffu;
constexpr const char *kKorvaOutputStream = "korva_sink.output";

struct GraphNode {
    uint32_t id = kNoId;
    std::string name;            // node.name
    std::string description;     // node.description
    std::string media_class;     // media.class, e.g. Audio/Sink
    uint32_t device_id = kNoId;  // device.id; kNoId without one
    int profile_device = -1;     // card.profile.device; -1 without one
};

struct GraphLink {
    uint32_t id = kNoId;
    uint32_t output_node = kNoId;   // the node the link takes sound from
    uint32_t input_node = kNoId;    // the node it plays into
    bool failed = false;            // state "error"
};

struct GraphRoute {
    int index = -1;
    std::string name;               // e.g. analog-output-headphones, [Out] Headphones
    std::string description;
    bool output = false;            // direction Output
    int device = -1;                // Route: the profile device it is active on
    std::vector<int> devices;       // EnumRoute: the profile devices it can serve
    std::string available;          // "yes", "no" or "unknown"
};

struct GraphDevice {
    uint32_t id = kNoId;
    std::string name;                      // device.name
    std::vector<GraphRoute> routes;        // Route params: the active routes
    std::vector<GraphRoute> enum_routes;   // EnumRoute params: every route
};

struct Graph {
    std::vector<GraphNode> nodes;
    std::vector<GraphLink> links;
    std::vector<GraphDevice> devices;
};

// The output in use; `node` empty when Korva's stream is not linked.
struct OutputInUse {
    std::string node;    // the sink's node.name
    std::string route;   // its active route's name; empty when not known
    bool operator==(const OutputInUse &other) const = default;
};

// The output Korva's stream plays into: the node most of the stream's
// working links lead to (the lowest id on a tie), with its active route.
OutputInUse output_in_use(const Graph &graph, const std::string &stream = kKorvaOutputStream);

// The active output route of a sink node, or null.
const GraphRoute *active_route(const Graph &graph, const GraphNode &node);

// Every output route the node could have (EnumRoute entries serving its
// profile device), in the device's order.
std::vector<const GraphRoute *> possible_routes(const Graph &graph, const GraphNode &node);

const GraphNode *find_node(const Graph &graph, uint32_t id);

} // namespace korva::pwlive

#endif
