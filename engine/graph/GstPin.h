// Stands in for a filter's pin: one ghost pad of the filter's bin, and what a connection put
// between it and its peer. May include GStreamer; only engine/graph/ includes this header.
#pragma once

#include "engine/graph/FilterGraph.h"

#include <gst/gst.h>

#include <string>
#include <vector>

namespace Graph {

class GstFilter;

class GstPin final : public Pin {
public:
    GstPin(GstFilter& pOwner, GstPad* pGhost, PinDirection pDirection, std::string pName)
        : c_Owner(pOwner)
        , c_Ghost(pGhost)
        , c_Direction(pDirection)
        , c_Name(std::move(pName)) {}
    PinDirection Direction() const override { return c_Direction; }
    std::string PinID() const override { return c_Name; }
    bool Connect(Pin& pInput) override;
    void Disconnect() override;
    GstPad* Pad() const { return c_Ghost; }
    GstFilter& Owner() const { return c_Owner; }

private:
    GstFilter& c_Owner;
    GstPad* c_Ghost; // owned by the bin
    PinDirection c_Direction;
    std::string c_Name;
    std::vector<GstElement*> c_Inserted; // what was put between this pin and its peer (owned by the pipeline)
};

} // namespace Graph
