#include "app/BatchDriver.h"

#include "app/BatchFile.h"
#include "app/WindowChoices.h"
#include "engine/C_ConvWave.h"
#include "engine/C_DecodeAudio.h"
#include "engine/C_mp3acm.h"
#include "engine/FCT_mpeg.h"
#include "engine/Rounding.h"
#include "engine/WaveMMIO.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"

#include <vector>

namespace {

const char* const kDecodeFailed = "デコード失敗";
const char* const kBatchFileFailed = "MP2エンコード用のコマンドファイルを作成できません";

// The driver's temporary files of one row: each is deleted as soon as it is consumed, and
// whatever is still listed is deleted on every way out of the row.
class RowTemporaries {
public:
    RowTemporaries() = default;
    RowTemporaries(const RowTemporaries&) = delete;
    RowTemporaries& operator=(const RowTemporaries&) = delete;
    ~RowTemporaries() {
        for (const std::string& path : c_Paths)
            Support::DeleteFileSafe(path);
    }
    void Add(const std::string& pPath) { c_Paths.push_back(pPath); }
    void Keep(const std::string& pPath) { std::erase(c_Paths, pPath); }
    void Drop(const std::string& pPath) {
        Support::DeleteFileSafe(pPath);
        Keep(pPath);
    }

private:
    std::vector<std::string> c_Paths;
};

RowResult Failed(std::string pDetail) {
    return {RowOutcome::Failed, {}, std::move(pDetail)};
}

std::string FormatText(std::int32_t pRate, int pBits, int pChannels) {
    return std::to_string(pRate) + "Hz/" + std::to_string(pBits) + "bit/" + std::to_string(pChannels) + "ch";
}

} // namespace

BatchDriver::BatchDriver(BatchHost& pHost, C_mp3acm& pMp3Encoder)
    : c_Host(pHost)
    , mp3enc(pMp3Encoder)
    , c_Mp2Encoder(FindMp2Encoder()) {
    QObject::connect(
        &mp3enc, &C_mp3acm::EncProg, &mp3enc,
        [this](float pRate, std::int32_t& pCancel) { mp3enc_EncProg(pRate, pCancel); }, Qt::DirectConnection);
}

BatchDriver::~BatchDriver() {
    QObject::disconnect(&mp3enc, &C_mp3acm::EncProg, &mp3enc, nullptr);
}

int BatchDriver::ProgressValue(float pRate) noexcept {
    return int(RoundHalfEven(double(pRate) * 1000.0));
}

void BatchDriver::ButtonClicked(int pClickedIndex) {
    switch (pClickedIndex) {
    case 0:
        Clear();
        break;
    case 1:
        Stop();
        break;
    case 2:
        Start();
        break;
    default:
        break;
    }
}

void BatchDriver::Clear() {
    if (Running == 1) return;
    c_Host.ClearRows();
}

void BatchDriver::DA_Prog(float pRate, std::int32_t& pCancel) {
    if (pRate != LastRate) {
        StallCount = 0;
    } else if (++StallCount > kStallLimit && !c_Stalled) {
        c_Stalled = true;
        if (DA) DA->Canceled(1);
        c_Host.ShowError(kDecodeFailed);
    }
    LastRate = pRate;
    c_Host.SetProgress(ProgressValue(pRate));
    pCancel = CancelRequested;
}

void BatchDriver::CW_Prog(float pRate, std::int32_t& pCancel) {
    c_Host.SetProgress(ProgressValue(pRate));
    pCancel = CancelRequested;
}

void BatchDriver::mp3enc_EncProg(float pRate, std::int32_t& pCancel) {
    c_Host.SetProgress(ProgressValue(pRate));
    pCancel = CancelRequested;
}

void BatchDriver::Start() {
    // One run at a time: a second Start while the first is going would interleave two loops.
    if (Running == 1) return;
    if (c_Host.ItemCount() < 1) return;
    Running = 1;
    c_Host.SetWaitCursor(true);
    CancelRequested = 0;

    const BatchOptions options = c_Host.Options();
    Target target;
    target.Rate = IntegerText(options.TargetFreqText).value_or(0);
    target.Mode = options.TargetModeIndex;

    c_Host.SetBusyColor(true);

    std::unique_ptr<BatchFile> batch;
    bool batchReady = true;
    if (options.Encmp2 == 1) {
        batch = std::make_unique<BatchFile>(Support::AppFolder(),
                                            c_Mp2Encoder.empty() ? std::string("twolame") : c_Mp2Encoder);
        batchReady = batch->Open();
    }
    if (batchReady) {
        RunRows(target, batch.get());
    } else {
        // Without a command file no MP2 can be made: nothing is converted, and an older file of
        // that name is never run in its place.
        c_Host.ShowError(std::string(kBatchFileFailed) + "\n" + batch->Path());
        for (int i = 0; i < c_Host.ItemCount(); ++i)
            c_Host.RowFinished(i, Failed("the MP2 command file cannot be written: " + batch->Path()));
    }

    bool runBatch = false;
    if (batch && batch->IsOpen()) {
        runBatch = batch->Close();
        if (!runBatch) c_Host.ShowError(std::string(kBatchFileFailed) + "\n" + batch->Path());
    }

    FinishRun();
    if (runBatch) c_Host.RunCommandFile(batch->Path());
    if (AutoExit == 1) c_Host.CloseWindow();
}

void BatchDriver::RunRows(const Target& pTarget, BatchFile* pBatch) {
    const int count = c_Host.ItemCount();
    for (int i = 0; i < count; ++i) {
        const RowResult result =
            Support::Trapped(Failed("unexpected error"), [&] { return OneFile(i, pTarget, pBatch); });
        c_Host.RowFinished(i, result);
        c_Host.SetProgress(0);
        if (CancelRequested == 1) break;
    }
}

void BatchDriver::FinishRun() {
    c_Host.DispMes(0, "Done.", true);
    c_Host.DispMes(1, "", true);
    c_Host.SetBusyColor(false);
    c_Host.SetProgress(0);
    c_Host.SetWaitCursor(false);
    Running = 0;
}

RowResult BatchDriver::OneFile(int pRow, const Target& pTarget, BatchFile* pBatch) {
    c_Host.ShowRow(pRow);
    c_Host.DoEvents();

    const std::string source = c_Host.SourcePath(pRow);
    std::string current = source;
    if (Support::FileExists(source) == 0) return Failed("file not found");

    const std::string soundPath = c_Host.Options().SoundPathText;
    const std::string folder = !soundPath.empty() && Support::FolderExists(soundPath) != 0
                                   ? Support::SetTrailingSeparator(soundPath, 0)
                                   : Support::FolderOf(source);
    const std::string base = Support::BaseName(source);
    RowTemporaries temps;
    const auto claim = [&](const std::string& pName) {
        const std::string name = Support::ClaimNumberedName(folder + pName, 2);
        if (!name.empty()) temps.Add(name);
        return name;
    };
    const std::string cannotCreate = "cannot create a file in " + folder;
    WaveInfo info = WaveMMIO::GetWaveInfo(current);
    bool decodeOnly = false;

    // PCM outside the ten modes (32-bit, 12-bit, four channels, ...) is decoded like any other
    // source: the decoder delivers a format the converter reads.
    if (info.FormatTag != 1 || info.Valid == 0) {
        if (Support::Extension(source) == "mp3") {
            MpegInfo mpeg;
            if (FCT_mpeg::ReadMpegInfo(current, mpeg, 0) != 1) return Failed("not MPEG audio");
            if (mpeg.AudioStart != 1) {
                c_Host.DispMes(0, "Stripping...", true);
                c_Host.DispMes(1, current, true);
                c_Host.DoEvents();
                // Numbered like the other temporaries: a file of that name may be someone else's.
                const std::string strip = claim("~strip.mp3");
                if (strip.empty()) return Failed(cannotCreate);
                if (FCT_mpeg::CopyFileRange(current, strip, mpeg.AudioStart, mpeg.AudioEnd) == 0)
                    return Failed("cannot copy the audio frames");
                current = strip;
            }
        }
        const std::string decoded = claim("~decode.wav");
        if (decoded.empty()) return Failed(cannotCreate);
        c_Host.DispMes(0, "Decording...", false);
        c_Host.DispMes(1, source, false);
        c_Host.DoEvents();

        StallCount = 0;
        c_Stalled = false;
        DA = std::make_unique<C_DecodeAudio>();
        QObject::connect(
            DA.get(), &C_DecodeAudio::Prog, DA.get(),
            [this](float pRate, std::int32_t& pCancel) { DA_Prog(pRate, pCancel); }, Qt::DirectConnection);
        (void)DA->DecodeAudio(current, decoded);
        DA.reset();
        if (current != source) temps.Drop(current);
        if (CancelRequested != 0) return {RowOutcome::Stopped, {}, {}};
        info = WaveMMIO::GetWaveInfo(decoded);
        if (info.Valid == 0) return Failed(c_Stalled ? "decoding stalled" : "cannot decode");
        current = decoded;
        // Only a decoded file is written as it came out of the decoder; PCM sources are converted.
        decodeOnly = c_Host.Options().DecodeOnly != 0;
    }

    // Nothing to convert or encode is said as it is, not blamed on the output folder.
    const std::string noAudio = "no audio (the file holds no samples)";
    if (!decodeOnly && (info.SamplesPerSec != pTarget.Rate || info.Mode != pTarget.Mode)) {
        if (WaveMMIO::FramesPresent(info) == 0) return Failed(noAudio);
        if (pTarget.Mode < 0 || pTarget.Mode > WaveMode::kLastTarget)
            return Failed("no target mode selected");
        if (pTarget.Rate <= 0) return Failed("no target rate selected");
        const int bits = WaveMode::Bits(pTarget.Mode);
        const int channels = WaveMode::Channels(pTarget.Mode);
        const std::string converted = claim("~conv.wav");
        if (converted.empty()) return Failed(cannotCreate);
        c_Host.DispMes(0,
                       FormatText(info.SamplesPerSec, info.BitsPerSample, info.Channels) + " ⇒ " +
                           FormatText(pTarget.Rate, bits, channels),
                       true);
        c_Host.DispMes(1, converted, true);
        CW = std::make_unique<C_ConvWave>();
        CW->BlockPause(c_BlockPause);
        QObject::connect(
            CW.get(), &C_ConvWave::Prog, CW.get(),
            [this](float pRate, std::int32_t& pCancel) { CW_Prog(pRate, pCancel); }, Qt::DirectConnection);
        const int ok = CW->ConvWave(current, converted, pTarget.Rate, std::int16_t(bits),
                                    std::int16_t(channels), c_Host.Options().UseDither != 0 ? 1 : 0, 0);
        CW.reset();
        if (current != source) temps.Drop(current);
        if (ok == 0) {
            if (CancelRequested != 0) return {RowOutcome::Stopped, {}, {}};
            return Failed("conversion failed (unreadable data, no space, or too large for WAV)");
        }
        current = converted;
    }

    if (!decodeOnly) {
        const BatchOptions options = c_Host.Options();
        const std::optional<std::int32_t> mp3Rate = IntegerText(options.Mp3BitRateText);
        if (options.Encmp3Enabled && options.Encmp3 == 1 && mp3Rate) {
            if (WaveMMIO::FramesPresent(WaveMMIO::GetWaveInfo(current)) == 0) return Failed(noAudio);
            // Encoded under a temporary name and moved into place whole, so that a run killed
            // in the middle never leaves a partial file under the output's name.
            const std::string encoded = claim("~encode.mp3");
            if (encoded.empty()) return Failed(cannotCreate);
            c_Host.DispMes(0, "Encoding...", true);
            c_Host.DispMes(1, Support::MakeNumberedName(folder + base + ".mp3", 1, 1, 2, 0), true);
            const int ok = mp3enc.EncFromWavfile(current, encoded, *mp3Rate);
            if (current != source) temps.Drop(current);
            if (ok == 0) {
                if (CancelRequested != 0) return {RowOutcome::Stopped, {}, {}};
                return Failed("MP3 encoding failed (unreadable data or no space)");
            }
            const std::string out = Support::MoveToNumberedName(encoded, folder + base + ".mp3", 2);
            if (out.empty()) return Failed(cannotCreate);
            temps.Keep(encoded);
            return {RowOutcome::Converted, out, "MP3 " + std::to_string(*mp3Rate) + " kbit/s"};
        }
        if (options.Encmp2Enabled && options.Encmp2 == 1 && pBatch != nullptr) {
            // Claimed now, so that later rows and other programs number around it until the
            // encoder fills it.
            const std::string out = claim(base + ".mp2");
            if (out.empty()) return Failed(cannotCreate);
            Mp2Section section;
            section.Row = pRow;
            section.RowCount = c_Host.ItemCount();
            section.Current = current;
            section.Source = source;
            section.Out = out;
            section.SamplesPerSec = info.SamplesPerSec;
            section.BitsPerSample = info.BitsPerSample;
            section.Channels = info.Channels;
            section.Milliseconds = info.Milliseconds;
            section.BitRateText = options.Mp2BitRateText;
            section.ModeText = options.Mp2ModeText;
            if (!pBatch->WriteSection(section)) return Failed("the MP2 command file cannot be written");
            temps.Keep(current);
            temps.Keep(out);
            return {RowOutcome::Queued, out,
                    "MP2 " + options.Mp2BitRateText + " kbit/s " + options.Mp2ModeText,
                    current != source ? current : std::string()};
        }
    }

    if (current == source) return {RowOutcome::Unchanged, {}, "already in the target format"};
    const std::string out = Support::MoveToNumberedName(current, folder + base + ".wav", 2);
    if (out.empty()) return Failed(cannotCreate);
    temps.Keep(current);
    return {RowOutcome::Converted, out, decodeOnly ? "decoded" : "WAV"};
}
