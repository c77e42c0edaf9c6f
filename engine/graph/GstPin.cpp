// Stands in for the runtime's pin connection: linking two filters, and the intelligent connect
// that inserts a decoder where the two sides do not fit. May include GStreamer; only engine/graph/.
#include "engine/graph/GstPin.h"

#include "engine/graph/GstFilter.h"
#include "engine/graph/GstFlow.h"
#include "engine/graph/GstGraph.h"
#include "support/FileIO.h"

#include <gst/base/gsttypefindhelper.h>

#include <algorithm>
#include <cstdint>

namespace Graph {

namespace {

// What the file type is told from: the file's first bytes.
constexpr std::size_t kTypeBytes = 65536;

// The media type of a file as its first bytes tell it (empty when they do not): what a file
// source announces on its output, and what a filter downstream may refuse.
std::string FileType(const std::string& pPath) {
    std::vector<std::uint8_t> head(kTypeBytes);
    const std::int64_t got = Support::ReadFileAtCounted(head.data(), head.size(), pPath, 0);
    if (got <= 0) return {};
    const CapsPtr caps(gst_type_find_helper_for_data(nullptr, head.data(), gsize(got), nullptr));
    if (!caps || gst_caps_get_size(caps.get()) == 0) return {};
    return gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
}

} // namespace

bool GstPin::Connect(Pin& pInput) {
    auto& input = static_cast<GstPin&>(pInput);
    if (c_Direction != PinDirection::Output || input.Direction() != PinDirection::Input) return false;
    if (gst_pad_is_linked(c_Ghost) || gst_pad_is_linked(input.Pad())) return false;
    GstElement* pipeline = c_Owner.Owner().Pipeline();
    const bool fromFile = c_Owner.Entry().Kind == FilterKind::FileSource;
    const std::vector<std::string>& accepts = input.Owner().Entry().Accepts;
    if (fromFile && !accepts.empty()) {
        // A filter that reads only some kinds of file refuses the others, as media types would.
        const std::string type = FileType(c_Owner.Location());
        if (!type.empty() && std::find(accepts.begin(), accepts.end(), type) == accepts.end()) return false;
    }
    if (input.Owner().WantsRaw() && !c_Owner.ProducesRaw()) {
        // The two sides do not fit: a decoder goes in between, as an intelligent connect would.
        // Straight from a file it is fed through a queue2: pushed to, the WAV parser also reads
        // MPEG audio inside RIFF, which it cannot do when it pulls (a plain queue can deadlock on
        // the source's allocation query).
        std::vector<GstElement*> inserted;
        if (fromFile) inserted.push_back(Make("queue2"));
        inserted.push_back(Make("decodebin"));
        for (GstElement* e : inserted)
            if (e != nullptr) gst_bin_add(GST_BIN(pipeline), e);
        auto undo = [&] {
            for (GstElement* e : inserted)
                if (e != nullptr) gst_bin_remove(GST_BIN(pipeline), e);
            return false;
        };
        if (std::find(inserted.begin(), inserted.end(), nullptr) != inserted.end()) return undo();
        if (inserted.size() == 2 && !gst_element_link(inserted[0], inserted[1])) return undo();
        const PadPtr sink(gst_element_get_static_pad(inserted.front(), "sink"));
        if (gst_pad_link(c_Ghost, sink.get()) != GST_PAD_LINK_OK) return undo();
        struct Route {
            static void Added(GstElement* pDecoder, GstPad* pPad, gpointer pTarget) {
                auto* target = static_cast<GstPad*>(pTarget);
                if (!gst_pad_is_linked(target) && IsAudio(pPad) &&
                    gst_pad_link(pPad, target) == GST_PAD_LINK_OK)
                    return;
                Swallow(GST_BIN(GST_ELEMENT_PARENT(pDecoder)), pPad);
            }
        };
        g_signal_connect(inserted.back(), "pad-added", G_CALLBACK(Route::Added), input.Pad());
        c_Inserted = std::move(inserted);
        return true;
    }
    return gst_pad_link(c_Ghost, input.Pad()) == GST_PAD_LINK_OK;
}

void GstPin::Disconnect() {
    // Pins are only taken apart in a stopped graph: unlinking under a paused one can wait for
    // ever on a streaming thread that is itself waiting to preroll.
    gst_element_set_state(c_Owner.Owner().Pipeline(), GST_STATE_NULL);
    const PadPtr peer(gst_pad_get_peer(c_Ghost));
    if (peer) gst_pad_unlink(c_Ghost, peer.get());
    for (GstElement* e : c_Inserted) {
        gst_element_set_state(e, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(c_Owner.Owner().Pipeline()), e);
    }
    c_Inserted.clear();
}

} // namespace Graph
