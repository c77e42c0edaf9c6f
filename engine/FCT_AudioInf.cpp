#include "engine/FCT_AudioInf.h"

#include "engine/C_FGraph.h"
#include "engine/FCT_mpeg.h"
#include "engine/WaveMMIO.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/FormatMilliseconds.h"

#include <QMimeDatabase>
#include <QString>

#include <initializer_list>

namespace FCT_AudioInf {

namespace {

bool In(const std::string& pExtension, std::initializer_list<const char*> pList) {
    for (const char* e : pList)
        if (pExtension == e) return true;
    return false;
}

std::string PcmDescription(const WaveInfo& pInfo, bool pLongForm) {
    std::string channels;
    if (pInfo.Channels == 1)
        channels = "bit/Mono";
    else if (pInfo.Channels == 2)
        channels = pLongForm ? "bit/Stereo" : "bit/St";
    else
        channels = "bit/" + std::to_string(pInfo.Channels) + "ch";
    const std::string format = std::to_string(pInfo.BitsPerSample) + channels;
    if (pLongForm) return "wav(" + std::to_string(pInfo.SamplesPerSec) + "Hz/" + format + ")";
    return "wav(" + Support::KilohertzText(pInfo.SamplesPerSec) + "kHz/" + format + ")";
}

// "flac(44100Hz/16bit/Stereo)", "opus(48kHz/St)": the codec, the decoded rate and channels, and
// the bits where the codec keeps them. Empty when the graph told nothing.
std::string StreamDescription(const Graph::StreamFormat& pFormat, const std::string& pExtension,
                              bool pLongForm) {
    if (pFormat.Rate <= 0 || pFormat.Channels <= 0) return {};
    std::string text = (pFormat.Codec.empty() ? pExtension : pFormat.Codec) + "(";
    text += pLongForm ? std::to_string(pFormat.Rate) + "Hz/" : Support::KilohertzText(pFormat.Rate) + "kHz/";
    // A lossy codec's depth is only that of its decoder's output.
    const bool keepsBits = pFormat.Codec.empty() || In(pFormat.Codec, {"flac", "alac", "wavpack"});
    if (pFormat.Bits > 0 && keepsBits) text += std::to_string(pFormat.Bits) + "bit/";
    if (pFormat.Channels == 1)
        text += "Mono";
    else if (pFormat.Channels == 2)
        text += pLongForm ? "Stereo" : "St";
    else
        text += std::to_string(pFormat.Channels) + "ch";
    return text + ")";
}

} // namespace

std::string FileTypeName(const std::string& pPath) {
    return Support::Trapped(std::string(), [&] {
        const QMimeDatabase db;
        const QString path = QString::fromStdString(pPath);
        // A missing file has no content to sniff; its name is all there is.
        const QMimeType type = Support::FileExists(pPath)
                                   ? db.mimeTypeForFile(path)
                                   : db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        return Support::CutAtNul(type.comment().trimmed().toStdString());
    });
}

AudioInfo GetAudioInfo(const std::string& pPath, int pDetailed, int pLongForm, int pNoGraph) {
    return Support::Trapped(AudioInfo{}, [&] {
        AudioInfo result;
        if (!Support::FileExists(pPath)) return result;
        const std::string typeName = FileTypeName(pPath);
        std::string description;
        const std::string ext = Support::Extension(pPath);
        bool tryMpeg = In(ext, {"mp1", "mp2", "mp3"});
        bool tryGraph =
            In(ext, {"mpg", "mpeg", "mid", "asf", "au", "aif", "aiff", "snd", "wma", "wmv", "m4a", "aac"}) ||
            FCT_Quartz::IsLaterKind(ext);
        bool done = false;

        if (ext == "wav") {
            const WaveInfo info = WaveMMIO::GetWaveInfo(pPath);
            if ((info.FormatTag == 1 || info.FormatTag == -2) && info.Valid == 1) {
                description = PcmDescription(info, pLongForm != 0);
                result.Ok = 1;
                // What the file holds, not what a header left by a streaming recorder promises.
                result.Milliseconds = WaveMMIO::MillisecondsPresent(info);
                done = true;
            } else if (info.FormatTag == 80 || info.FormatTag == 85) {
                tryMpeg = true;
            } else {
                tryGraph = true;
            }
        }
        if (!done && tryMpeg) {
            MpegInfo mpeg;
            result.Ok = FCT_mpeg::ReadMpegInfo(pPath, mpeg, 0);
            description = Support::TrimSpaces(pLongForm != 0 ? mpeg.LongText : mpeg.ShortText);
            result.Milliseconds = mpeg.Milliseconds;
            if (result.Ok == 1)
                done = true;
            else
                tryGraph = true;
        }
        if (!done && tryGraph && pNoGraph == 0) {
            C_FGraph player;
            player.Init();
            player.FileName(pPath);
            result.Milliseconds = player.Length();
            description = typeName;
            // Later kinds are described by what the graph decodes.
            if (FCT_Quartz::IsLaterKind(ext))
                if (std::string stream = StreamDescription(player.Format(), ext, pLongForm != 0); !stream.empty())
                    description = std::move(stream);
            player.CloseWave();
            // A graph that could not be built still counts: the list shows the type and no length.
            result.Ok = 1;
        }

        if (pDetailed == 1) {
            result.Text = pPath + "\r\n" + typeName + "\r\n";
            if (!description.empty()) result.Text += description + "\r\n";
            result.Text += Support::FormatMilliseconds(result.Milliseconds, 0);
        } else {
            result.Text = description.empty() ? typeName : description;
        }
        return result;
    });
}

} // namespace FCT_AudioInf
