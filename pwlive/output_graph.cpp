#include "output_graph.h"

#include <algorithm>
#include <map>

namespace korva::pwlive {

const GraphNode *find_node(const Graph &graph, uint32_t id)
{
    for (const GraphNode &node : graph.nodes)
        if (node.id == id)
            return &node;
    return nullptr;
}

namespace {

const GraphDevice *find_device(const Graph &graph, uint32_t id)
{
    if (id == kNoId)
        return nullptr;
    for (const GraphDevice &device : graph.devices)
        if (device.id == id)
            return &device;
    return nullptr;
}

} // namespace

const GraphRoute *active_route(const Graph &graph, const GraphNode &node)
{
    const GraphDevice *device = find_device(graph, node.device_id);
    if (device == nullptr || node.profile_device < 0)
        return nullptr;
    for (const GraphRoute &route : device->routes)
        if (route.output && route.device == node.profile_device)
            return &route;
    return nullptr;
}

std::vector<const GraphRoute *> possible_routes(const Graph &graph, const GraphNode &node)
{
    std::vector<const GraphRoute *> found;
    const GraphDevice *device = find_device(graph, node.device_id);
    if (device == nullptr || node.profile_device < 0)
        return found;
    for (const GraphRoute &route : device->enum_routes)
        if (route.output && std::find(route.devices.begin(), route.devices.end(), node.profile_device) !=
                                route.devices.end())
            found.push_back(&route);
    return found;
}

OutputInUse output_in_use(const Graph &graph, const std::string &stream)
{
    OutputInUse in_use;
    // A stream has one link per channel, all to one sink; while a move is
    // under way links to two may exist, and the one with more wins.
    std::map<uint32_t, int> targets;
    for (const GraphNode &node : graph.nodes) {
        if (node.name != stream)
            continue;
        for (const GraphLink &link : graph.links)
            if (link.output_node == node.id && !link.failed && find_node(graph, link.input_node) != nullptr)
                ++targets[link.input_node];
    }
    uint32_t best = kNoId;
    int most = 0;
    for (const auto &[id, count] : targets)   // in id order: a tie keeps the lowest
        if (count > most) {
            best = id;
            most = count;
        }
    const GraphNode *sink = find_node(graph, best);
    if (sink == nullptr)
        return in_use;
    in_use.node = sink->name;
    if (const GraphRoute *route = active_route(graph, *sink))
        in_use.route = route->name;
    return in_use;
}

} // namespace korva::pwlive
