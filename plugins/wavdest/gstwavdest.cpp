// Stands in for "WAV Dest", the Windows DirectShow filter that writes WAV files.
// May include GStreamer: it is the project's own plugin, loaded from the program folder.
#include "engine/WaveHeader.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define PACKAGE "tolvane"

namespace {

struct GstWavDest {
    GstElement Parent;
    GstPad* SinkPad;
    GstPad* SrcPad;
    GstAudioFormat Format;
    gint Rate;
    gint Channels;
    gint OutBits;
    // Float decoders (AAC, WMA) deliver one plane per channel; taking them as they come saves an
    // interleaving pass in front of the conversion.
    gboolean Planar;
    GstAudioInfo Info;
    gboolean Configured;
    gboolean HeaderSent;
    // A flush clears the segment downstream: the next data first says where it goes again.
    gboolean SegmentPending;
    // Guarded by the object lock: position queries read it from other threads.
    guint64 DataBytes;
};

struct GstWavDestClass {
    GstElementClass ParentClass;
};

GType gst_wav_dest_get_type();
GstElementClass* g_ParentClass = nullptr;

GstStaticPadTemplate g_SinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { U8, S16LE, S24LE, S32LE, F32LE, F64LE }, "
                    "layout = (string) interleaved, rate = (int) [ 1, MAX ], channels = (int) [ 1, MAX ]; "
                    "audio/x-raw, format = (string) { F32LE, F64LE }, layout = (string) non-interleaved, "
                    "rate = (int) [ 1, MAX ], channels = (int) [ 1, MAX ]"));

GstStaticPadTemplate g_SrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-wav"));

// Until the end the sizes are unknown. 0xFFFFFFFF is what streaming readers take as "up to the end of
// the file", so it stays valid when downstream cannot seek back; a size of 0 would read as no audio.
constexpr guint32 kUnknownSize = 0xFFFFFFFFu;

// Above 4 GiB the fields stay at their maximum rather than wrap to a small, wrong size.
guint32 Saturate(guint64 pValue) {
    return pValue > 0xFFFFFFFFull ? 0xFFFFFFFFu : guint32(pValue);
}

bool Extensible(const GstWavDest* pSelf) {
    return pSelf->Channels != 1 && pSelf->Channels != 2;
}

guint32 HeaderBytes(const GstWavDest* pSelf) {
    return Extensible(pSelf) ? WaveHeader::kExtensibleBytes : WaveHeader::kPlainBytes;
}

std::vector<guint8> Header(const GstWavDest* pSelf, bool pFinal, guint64 pDataBytes) {
    const guint32 data = pFinal ? Saturate(pDataBytes) : kUnknownSize;
    const guint32 riff = pFinal ? Saturate(pDataBytes + HeaderBytes(pSelf) - 8) : kUnknownSize;
    return WaveHeader::Build(guint32(pSelf->Rate), guint16(pSelf->OutBits), guint16(pSelf->Channels),
                             Extensible(pSelf), riff, data);
}

GstFlowReturn PushBytes(GstWavDest* pSelf, const std::vector<guint8>& pBytes) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, pBytes.size(), nullptr);
    gst_buffer_fill(buffer, 0, pBytes.data(), pBytes.size());
    return gst_pad_push(pSelf->SrcPad, buffer);
}

// A byte segment from the start: a seekable writer goes back to the beginning of its file.
void PushSegmentAtStart(GstWavDest* pSelf) {
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_BYTES);
    gst_pad_push_event(pSelf->SrcPad, gst_event_new_segment(&segment));
}

bool DownstreamSeekable(GstWavDest* pSelf) {
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_BYTES);
    gboolean seekable = FALSE;
    if (gst_pad_peer_query(pSelf->SrcPad, query))
        gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    return seekable != FALSE;
}

guint64 DataBytes(GstWavDest* pSelf) {
    GST_OBJECT_LOCK(pSelf);
    const guint64 bytes = pSelf->DataBytes;
    GST_OBJECT_UNLOCK(pSelf);
    return bytes;
}

void AddDataBytes(GstWavDest* pSelf, guint64 pBytes) {
    GST_OBJECT_LOCK(pSelf);
    pSelf->DataBytes += pBytes;
    GST_OBJECT_UNLOCK(pSelf);
}

gboolean SetCaps(GstWavDest* pSelf, GstCaps* pCaps) {
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, pCaps)) return FALSE;
    const GstAudioFormat format = GST_AUDIO_INFO_FORMAT(&info);
    const gboolean planar = GST_AUDIO_INFO_LAYOUT(&info) == GST_AUDIO_LAYOUT_NON_INTERLEAVED;
    // One file, one format: a change half way would leave samples the header does not describe.
    // A change of layout alone leaves the samples as they were.
    if (pSelf->Configured && (format != pSelf->Format || GST_AUDIO_INFO_RATE(&info) != pSelf->Rate ||
                              GST_AUDIO_INFO_CHANNELS(&info) != pSelf->Channels)) {
        // Said as an error: what follows would be dropped, and a cut file would pass for whole.
        GST_ELEMENT_ERROR(pSelf, STREAM, FORMAT, ("The audio format changed part-way through the stream"),
                          (nullptr));
        return FALSE;
    }
    pSelf->Format = format;
    pSelf->Planar = planar;
    pSelf->Info = info;
    pSelf->Rate = GST_AUDIO_INFO_RATE(&info);
    pSelf->Channels = GST_AUDIO_INFO_CHANNELS(&info);
    switch (format) {
    case GST_AUDIO_FORMAT_U8:
        pSelf->OutBits = 8;
        break;
    case GST_AUDIO_FORMAT_S24LE:
        pSelf->OutBits = 24;
        break;
    default:
        // Integer PCM of at most 24 bits is what the original filter wrote; wider input goes to 16.
        pSelf->OutBits = 16;
        break;
    }
    pSelf->Configured = TRUE;
    GstCaps* out = gst_caps_new_empty_simple("audio/x-wav");
    const gboolean ok = gst_pad_push_event(pSelf->SrcPad, gst_event_new_caps(out));
    gst_caps_unref(out);
    return ok;
}

gboolean SinkEvent(GstPad* pPad, GstObject* pParent, GstEvent* pEvent) {
    auto* self = reinterpret_cast<GstWavDest*>(pParent);
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(pEvent, &caps);
        const gboolean ok = SetCaps(self, caps);
        gst_event_unref(pEvent);
        return ok;
    }
    case GST_EVENT_SEGMENT: {
        // The output is a byte stream of its own; upstream's time segment only says, after a
        // flush, where the data that follows belongs. A demuxer that seeks back to the start
        // (Ogg after its duration check) sends again what it sent before: it overwrites, so no
        // audio is written twice.
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(pEvent, &segment);
        if (self->SegmentPending && self->Configured && segment->format == GST_FORMAT_TIME) {
            const guint64 frameBytes = guint64(self->Channels) * guint64(self->OutBits / 8);
            const guint64 at = gst_util_uint64_scale_int(segment->start, self->Rate, GST_SECOND) * frameBytes;
            GST_OBJECT_LOCK(self);
            self->DataBytes = std::min(self->DataBytes, at);
            GST_OBJECT_UNLOCK(self);
        }
        gst_event_unref(pEvent);
        return TRUE;
    }
    case GST_EVENT_FLUSH_STOP:
        self->SegmentPending = self->HeaderSent;
        return gst_pad_event_default(pPad, pParent, pEvent);
    case GST_EVENT_EOS:
        if (self->Configured) {
            const guint64 data = DataBytes(self);
            // With nothing written yet the sizes are known now; otherwise they can only be
            // corrected where downstream can go back, and elsewhere a failed seek would be an error.
            if (!self->HeaderSent) {
                PushSegmentAtStart(self);
                PushBytes(self, Header(self, true, data));
                self->HeaderSent = TRUE;
            } else if (DownstreamSeekable(self)) {
                PushSegmentAtStart(self);
                PushBytes(self, Header(self, true, data));
            }
        }
        return gst_pad_event_default(pPad, pParent, pEvent);
    default:
        return gst_pad_event_default(pPad, pParent, pEvent);
    }
}

gboolean SrcQuery(GstPad* pPad, GstObject* pParent, GstQuery* pQuery) {
    auto* self = reinterpret_cast<GstWavDest*>(pParent);
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_POSITION && self->Configured) {
        GstFormat format;
        gst_query_parse_position(pQuery, &format, nullptr);
        const guint64 data = DataBytes(self);
        if (format == GST_FORMAT_BYTES) {
            gst_query_set_position(pQuery, format, gint64(data + (self->HeaderSent ? HeaderBytes(self) : 0)));
            return TRUE;
        }
        if (format == GST_FORMAT_TIME) {
            const guint64 frames = data / guint64(self->Channels * (self->OutBits / 8));
            gst_query_set_position(pQuery, format,
                                   gint64(gst_util_uint64_scale_int(frames, GST_SECOND, self->Rate)));
            return TRUE;
        }
    }
    return gst_pad_query_default(pPad, pParent, pQuery);
}

void Convert(GstAudioFormat pFormat, const guint8* pIn, gsize pCount, gint16* pOut) {
    gsize i = 0;
    if (pFormat == GST_AUDIO_FORMAT_F32LE) {
#if defined(__SSE2__)
        // Four at a time, exactly as the scalar loop below: widened to double, scaled, rounded to
        // nearest (ties to even) and saturated to 16 bits.
        const __m128d scale = _mm_set1_pd(32767.0);
        for (; i + 4 <= pCount; i += 4) {
            const __m128 f = _mm_loadu_ps(reinterpret_cast<const float*>(pIn + i * 4));
            const __m128d lo = _mm_mul_pd(_mm_cvtps_pd(f), scale);
            const __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
            // Lanes beyond 32 bits and NaN come back as INT_MIN; the scalar loop settles those.
            const __m128i words = _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
            const __m128i bad = _mm_cmpeq_epi32(words, _mm_set1_epi32(INT32_MIN));
            if (_mm_movemask_epi8(bad) != 0) break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + i), _mm_packs_epi32(words, words));
        }
#endif
    }
    const gsize width = pFormat == GST_AUDIO_FORMAT_F64LE ? 8 : 4;
    for (; i < pCount; ++i) {
        const guint8* p = pIn + i * width;
        if (pFormat == GST_AUDIO_FORMAT_S32LE) {
            gint32 v;
            std::memcpy(&v, p, 4);
            pOut[i] = gint16(v >> 16);
            continue;
        }
        double v;
        if (width == 8) {
            std::memcpy(&v, p, 8);
        } else {
            float f;
            std::memcpy(&f, p, 4);
            v = f;
        }
        pOut[i] = std::isnan(v) ? 0 : gint16(std::clamp(std::nearbyint(v * 32767.0), -32768.0, 32767.0));
    }
}

// Each plane is converted as the interleaved samples are, a piece at a time, into its place in
// the interleaved output.
GstFlowReturn ChainPlanar(GstWavDest* pSelf, GstBuffer* pBuffer) {
    GstAudioBuffer audio;
    if (!gst_audio_buffer_map(&audio, &pSelf->Info, pBuffer, GST_MAP_READ)) {
        gst_buffer_unref(pBuffer);
        return GST_FLOW_ERROR;
    }
    const gsize frames = audio.n_samples;
    const auto channels = gsize(pSelf->Channels);
    const gsize width = pSelf->Format == GST_AUDIO_FORMAT_F64LE ? 8 : 4;
    GstBuffer* outBuffer = gst_buffer_new_allocate(nullptr, frames * channels * 2, nullptr);
    GstMapInfo out;
    if (!gst_buffer_map(outBuffer, &out, GST_MAP_WRITE)) {
        gst_audio_buffer_unmap(&audio);
        gst_buffer_unref(pBuffer);
        gst_buffer_unref(outBuffer);
        return GST_FLOW_ERROR;
    }
    auto* samples = reinterpret_cast<gint16*>(out.data);
    constexpr gsize kPiece = 1024;
    gint16 piece[kPiece];
    for (gsize c = 0; c < channels; ++c) {
        const auto* plane = static_cast<const guint8*>(audio.planes[c]);
        for (gsize start = 0; start < frames; start += kPiece) {
            const gsize n = std::min(kPiece, frames - start);
            Convert(pSelf->Format, plane + start * width, n, piece);
            for (gsize i = 0; i < n; ++i)
                samples[(start + i) * channels + c] = piece[i];
        }
    }
    gst_buffer_unmap(outBuffer, &out);
    gst_audio_buffer_unmap(&audio);
    // Not the metas: an audio meta would describe planes the output no longer has.
    gst_buffer_copy_into(outBuffer, pBuffer,
                         GstBufferCopyFlags(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS), 0,
                         gsize(-1));
    gst_buffer_unref(pBuffer);
    AddDataBytes(pSelf, frames * channels * 2);
    return gst_pad_push(pSelf->SrcPad, outBuffer);
}

GstFlowReturn Chain(GstPad*, GstObject* pParent, GstBuffer* pBuffer) {
    auto* self = reinterpret_cast<GstWavDest*>(pParent);
    if (!self->Configured) {
        gst_buffer_unref(pBuffer);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    if (!self->HeaderSent) {
        PushSegmentAtStart(self);
        const GstFlowReturn r = PushBytes(self, Header(self, false, 0));
        self->HeaderSent = TRUE;
        if (r != GST_FLOW_OK) {
            gst_buffer_unref(pBuffer);
            return r;
        }
    }
    if (self->SegmentPending) {
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_BYTES);
        segment.start = segment.position = segment.time = HeaderBytes(self) + DataBytes(self);
        gst_pad_push_event(self->SrcPad, gst_event_new_segment(&segment));
        self->SegmentPending = FALSE;
    }
    if (self->OutBits != 16 || self->Format == GST_AUDIO_FORMAT_S16LE) {
        AddDataBytes(self, gst_buffer_get_size(pBuffer));
        return gst_pad_push(self->SrcPad, pBuffer);
    }
    if (self->Planar) return ChainPlanar(self, pBuffer);
    GstMapInfo in;
    if (!gst_buffer_map(pBuffer, &in, GST_MAP_READ)) {
        gst_buffer_unref(pBuffer);
        return GST_FLOW_ERROR;
    }
    const gsize count = in.size / (self->Format == GST_AUDIO_FORMAT_F64LE ? 8 : 4);
    GstBuffer* outBuffer = gst_buffer_new_allocate(nullptr, count * 2, nullptr);
    GstMapInfo out;
    if (!gst_buffer_map(outBuffer, &out, GST_MAP_WRITE)) {
        gst_buffer_unmap(pBuffer, &in);
        gst_buffer_unref(pBuffer);
        gst_buffer_unref(outBuffer);
        return GST_FLOW_ERROR;
    }
    Convert(self->Format, in.data, count, reinterpret_cast<gint16*>(out.data));
    gst_buffer_unmap(outBuffer, &out);
    gst_buffer_unmap(pBuffer, &in);
    gst_buffer_copy_into(outBuffer, pBuffer, GST_BUFFER_COPY_METADATA, 0, gsize(-1));
    gst_buffer_unref(pBuffer);
    AddDataBytes(self, count * 2);
    return gst_pad_push(self->SrcPad, outBuffer);
}

GstStateChangeReturn ChangeState(GstElement* pElement, GstStateChange pTransition) {
    auto* self = reinterpret_cast<GstWavDest*>(pElement);
    if (pTransition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        self->Configured = FALSE;
        self->HeaderSent = FALSE;
        self->SegmentPending = FALSE;
        GST_OBJECT_LOCK(self);
        self->DataBytes = 0;
        GST_OBJECT_UNLOCK(self);
    }
    return g_ParentClass->change_state(pElement, pTransition);
}

void ClassInit(gpointer pClass, gpointer) {
    auto* element = static_cast<GstElementClass*>(pClass);
    g_ParentClass = static_cast<GstElementClass*>(g_type_class_peek_parent(pClass));
    gst_element_class_set_static_metadata(element, "WAV Dest", "Codec/Muxer/Audio",
                                          "Writes raw audio as a WAV file of integer PCM (8, 16 or 24 bits)",
                                          "Tolvane");
    gst_element_class_add_static_pad_template(element, &g_SinkTemplate);
    gst_element_class_add_static_pad_template(element, &g_SrcTemplate);
    element->change_state = ChangeState;
}

void InstanceInit(GTypeInstance* pInstance, gpointer) {
    auto* self = reinterpret_cast<GstWavDest*>(pInstance);
    self->SinkPad = gst_pad_new_from_static_template(&g_SinkTemplate, "sink");
    gst_pad_set_chain_function(self->SinkPad, Chain);
    gst_pad_set_event_function(self->SinkPad, SinkEvent);
    gst_element_add_pad(GST_ELEMENT(self), self->SinkPad);
    self->SrcPad = gst_pad_new_from_static_template(&g_SrcTemplate, "src");
    gst_pad_use_fixed_caps(self->SrcPad);
    gst_pad_set_query_function(self->SrcPad, SrcQuery);
    gst_element_add_pad(GST_ELEMENT(self), self->SrcPad);
    self->Configured = FALSE;
    self->HeaderSent = FALSE;
    self->SegmentPending = FALSE;
    self->DataBytes = 0;
    self->OutBits = 16;
}

GType gst_wav_dest_get_type() {
    static GType type = 0;
    if (g_once_init_enter(&type)) {
        GTypeInfo info{};
        info.class_size = sizeof(GstWavDestClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(GstWavDest);
        info.instance_init = InstanceInit;
        const GType t = g_type_register_static(GST_TYPE_ELEMENT, "GstTolvaneWavDest", &info, GTypeFlags(0));
        g_once_init_leave(&type, t);
    }
    return type;
}

gboolean PluginInit(GstPlugin* pPlugin) {
    return gst_element_register(pPlugin, "wavdest", GST_RANK_NONE, gst_wav_dest_get_type());
}

} // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, wavdest, "Tolvane's WAV writer", PluginInit, "1.0",
                  "Proprietary", "tolvane", "https://tolvane.invalid")
#pragma GCC diagnostic pop
