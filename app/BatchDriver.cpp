#include "app/BatchDriver.h"

#include "app/BatchFile.h"
#include "app/WindowChoices.h"
#include "engine/C_ConvWave.h"
#include "engine/C_ConvWaveHQ.h"
#include "engine/C_DecodeAudio.h"
#include "engine/C_mp3acm.h"
#include "engine/FCT_mpeg.h"
#include "engine/Tags.h"
#include "engine/WaveMMIO.h"
#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"
#include "support/Log.h"
#include "support/Rounding.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char* const kDecodeFailed = "デコード失敗";
const char* const kBatchFileFailed = "MP2エンコード用のコマンドファイルを作成できません";
constexpr std::int64_t kHeaderBytes = 44;

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

RowResult Failed(FailReason pReason, std::string pPlace = {}) {
    return {RowOutcome::Failed, {}, FailReasonText(pReason, pPlace), {}, pReason, std::move(pPlace)};
}

RowResult Stopped() {
    return {RowOutcome::Stopped, {}, {}};
}

std::string FormatText(std::int32_t pRate, int pBits, int pChannels) {
    return std::to_string(pRate) + "Hz/" + std::to_string(pBits) + "bit/" + std::to_string(pChannels) + "ch";
}

// An engine event connected for as long as one stage runs.
class Connection {
public:
    explicit Connection(QMetaObject::Connection pConnection)
        : c_Connection(std::move(pConnection)) {}
    ~Connection() { QObject::disconnect(c_Connection); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

private:
    QMetaObject::Connection c_Connection;
};

} // namespace

// Where rows are worked on: the window's run has one lane, a run of several rows at once one per
// worker thread, each with its own MP3 encoder (an encoder holds one stream at a time).
struct BatchDriver::Lane {
    C_mp3acm& Encoder;
    bool Parallel = false;
    // Put into the names of the lane's temporary files: empty for the first lane, "-2" for the second.
    std::string Tag;
};

// One row on its way through the stages. What the row is made into waits here for its final
// name, which Place gives it.
struct BatchDriver::Row {
    enum class Output { Wav, Mp3, Mp2 };

    Row(Lane& pLane, int pIndex, std::string pSource)
        : OnLane(pLane)
        , Index(pIndex)
        , Source(std::move(pSource))
        , Current(Source) {}

    Lane& OnLane;
    int Index;
    std::string Source;
    // The file the next stage reads: the source, or the last temporary file made for the row.
    std::string Current;
    std::string Folder;
    std::string Base;
    WaveInfo Info;
    bool DecodeOnly = false;
    // A parallel row's options, read for it when it started: a worker reads no control.
    std::optional<BatchOptions> Snapshot;
    // The options as the row reached its output, and what that output is.
    BatchOptions Chosen;
    Output Made = Output::Wav;
    std::int32_t Mp3Rate = 0;
    // What became of the source's tags, for the row's report.
    std::string TagsDetail;
    RowTemporaries Temps;
};

bool StallWatch::Report(float pRate) noexcept {
    StallCount = pRate == LastRate ? StallCount + 1 : 0;
    LastRate = pRate;
    if (StallCount <= kStallLimit || Stalled) return false;
    Stalled = true;
    return true;
}

BatchDriver::BatchDriver(BatchHost& pHost, C_mp3acm& pMp3Encoder)
    : c_Host(pHost)
    , mp3enc(pMp3Encoder)
    , c_Mp2Encoder(FindMp2Encoder()) {}

BatchDriver::BatchDriver(ParallelBatchHost& pHost, C_mp3acm& pMp3Encoder)
    : BatchDriver(static_cast<BatchHost&>(pHost), pMp3Encoder) {
    c_Parallel = &pHost;
}

BatchDriver::~BatchDriver() = default;

int BatchDriver::ProgressValue(float pRate) noexcept {
    return int(RoundHalfEven(double(pRate) * 1000.0));
}

void BatchDriver::ButtonClicked(int pClickedIndex) {
    switch (pClickedIndex) {
    case kClear:
        Clear();
        break;
    case kStop:
        Stop();
        break;
    case kStart:
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
        c_Batch = batch.get();
        const int jobs = std::min(c_Jobs, c_Host.ItemCount());
        if (jobs > 1 || c_RowsOnWorkers)
            RunRowsAtOnce(target, jobs);
        else
            RunRows(target);
        c_Batch = nullptr;
    } else {
        // Without a command file no MP2 can be made: nothing is converted, and an older file of
        // that name is never run in its place.
        c_Host.ShowError(std::string(kBatchFileFailed) + "\n" + batch->Path());
        for (int i = 0; i < c_Host.ItemCount(); ++i)
            c_Host.RowFinished(i, Failed(FailReason::CommandFile, batch->Path()));
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

void BatchDriver::RunRows(const Target& pTarget) {
    Lane lane{mp3enc, false, {}};
    const int count = c_Host.ItemCount();
    for (int i = 0; i < count; ++i) {
        c_Host.ShowRow(i);
        c_Host.DoEvents();
        const RowResult result = Support::Trapped(Failed(FailReason::Unexpected), [&] {
            Row row(lane, i, c_Host.SourcePath(i));
            if (Outcome end = Work(row, pTarget)) return *end;
            return Place(row);
        });
        c_Host.RowFinished(i, result);
        c_Host.SetProgress(0);
        if (CancelRequested == 1) break;
    }
}

// Final names are taken in list order. Each row is made under temporary names, and what it
// delivers takes its final name (or, for MP2, claims it and joins the command file) only once
// every row above it has taken its own or ended without one: a row that writes nothing
// (unchanged, failed, stopped) takes none. Two rows that want one name therefore get it in list
// order, and no name depends on which row finished first: the names, the command file's order and
// the per-file report are those of a serial run.
void BatchDriver::RunRowsAtOnce(const Target& pTarget, int pJobs) {
    ParallelBatchHost& host = *c_Parallel;
    const int count = host.ItemCount();
    struct Finished {
        std::unique_ptr<Row> Made;
        Outcome End;
        bool Done = false;
        bool Ended = false;
    };
    // A row as it is handed to a worker: read on this thread when the row starts, as the window's
    // controls are read for a row of its own.
    struct Assignment {
        int Index = 0;
        std::string Source;
        BatchOptions Options;
    };
    std::vector<Finished> rows(static_cast<std::size_t>(count));
    std::mutex lock;
    std::condition_variable changed;    // a row is done, or a worker waits for one
    std::condition_variable_any handed; // a row, or the end, for the workers
    std::deque<Assignment> waiting;
    int idle = 0;

    // The lanes outlive the threads: the rows a lane made wait for their names after it is done.
    std::deque<C_mp3acm> encoders;
    std::deque<Lane> lanes;
    const auto worker = [&](const std::stop_token& pEnd, Lane& pLane) {
        std::unique_lock hold(lock);
        for (;;) {
            ++idle;
            changed.notify_all();
            handed.wait(hold, pEnd, [&] { return !waiting.empty(); });
            --idle;
            if (waiting.empty()) return;
            Assignment job = std::move(waiting.front());
            waiting.pop_front();
            hold.unlock();
            std::unique_ptr<Row> row;
            Outcome end = Support::Trapped(Outcome(Failed(FailReason::Unexpected)), [&] {
                row = std::make_unique<Row>(pLane, job.Index, job.Source);
                row->Snapshot = std::move(job.Options);
                return Work(*row, pTarget);
            });
            // A row that ended without output leaves nothing to wait for: its files go now.
            if (end) row.reset();
            hold.lock();
            rows[std::size_t(job.Index)] = {std::move(row), std::move(end), true, false};
        }
    };
    // Declared last, so that the threads are joined before anything they use goes; each is told to
    // end (its stop token) before it is joined, on every way out.
    std::vector<std::jthread> threads;
    for (int k = 0; k < pJobs; ++k) {
        encoders.emplace_back();
        lanes.push_back(Lane{encoders.back(), true, k == 0 ? std::string() : "-" + std::to_string(k + 1)});
        try {
            threads.emplace_back(worker, std::ref(lanes.back()));
        } catch (const std::system_error&) {
            // The system gives no more threads: the run makes do with those it has.
            break;
        }
    }
    if (threads.empty()) {
        RunRows(pTarget);
        return;
    }

    int next = 0;
    int placed = 0;
    // What the host shows before the first row starts is seen, as a run of one row at a time
    // lets events through before each row.
    host.DoEvents();
    std::unique_lock hold(lock);
    // Tells the rows whose work is over; true when it told any.
    const auto tellEnded = [&] {
        bool told = false;
        for (int i = placed; i < next; ++i) {
            Finished& row = rows[std::size_t(i)];
            if (!row.Done || row.Ended) continue;
            row.Ended = told = true;
            hold.unlock();
            host.RowEnded(i);
            hold.lock();
        }
        return told;
    };
    for (;;) {
        tellEnded();
        // A row starts only when a worker is free to take it, so that its options are those of
        // the moment it starts; the row that freed the worker has ended first. Stop starts no
        // new row.
        while (idle > int(waiting.size()) && next < count && CancelRequested == 0) {
            if (tellEnded()) continue;
            hold.unlock();
            Assignment job{next, host.SourcePath(next), host.Options()};
            host.RowStarted(next);
            hold.lock();
            waiting.push_back(std::move(job));
            handed.notify_one();
            ++next;
        }
        while (placed < next && rows[std::size_t(placed)].Done) {
            Finished finished = std::move(rows[std::size_t(placed)]);
            hold.unlock();
            // Done since the rows that ended were told: its end comes before its outcome.
            if (!finished.Ended) host.RowEnded(placed);
            const RowResult result = finished.End ? *finished.End
                                                  : Support::Trapped(Failed(FailReason::Unexpected),
                                                                     [&] { return Place(*finished.Made); });
            finished.Made.reset();
            host.RowFinished(placed, result);
            hold.lock();
            ++placed;
        }
        // Every row handed out is placed: the run is over when no more will start.
        if (placed == next && (next == count || CancelRequested != 0)) break;
        // Short waits: the user interface runs between them.
        changed.wait_for(hold, std::chrono::milliseconds(5));
        hold.unlock();
        host.DoEvents();
        hold.lock();
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

// The controls are read when the row reaches them, as the window always has: the target rate and
// mode once at Start, the output folder at the row's start, decode-only after decoding, dither and
// high quality at the conversion and the encoder choices at the output, so that a change made during a run
// reaches the rows that get there afterwards. The repeated reads are meant. A parallel row reads the snapshot
// taken at its start instead.
BatchOptions BatchDriver::Options(const Row& pRow) const {
    return pRow.Snapshot ? *pRow.Snapshot : c_Host.Options();
}

void BatchDriver::Show(const Row& pRow, int pLine, const std::string& pText, bool pDontDraw) {
    if (pRow.OnLane.Parallel)
        c_Parallel->RowMessage(pRow.Index, pLine, pText);
    else
        c_Host.DispMes(pLine, pText, pDontDraw);
}

void BatchDriver::Events(const Row& pRow) {
    if (!pRow.OnLane.Parallel) c_Host.DoEvents();
}

// Numbered, as a file of that name may be someone else's or another row's; created at once, so
// that nobody else takes it.
std::string BatchDriver::Claim(Row& pRow, const std::string& pName) {
    std::string name = Support::ClaimNumberedName(pRow.Folder + pName, 2);
    if (!name.empty()) pRow.Temps.Add(name);
    return name;
}

// Lanes at work at once name their temporary files apart ("~conv.wav", "~conv-2.wav"): the engine
// deletes and re-creates its target, and after a failure the row deletes it once more, so a name
// may look free for a moment while it is still a row's own.
std::string BatchDriver::Temporary(Row& pRow, const std::string& pStem, const std::string& pExtension) {
    return Claim(pRow, pStem + pRow.OnLane.Tag + pExtension);
}

void BatchDriver::DA_Prog(Row& pRow, C_DecodeAudio& pDecoder, StallWatch& pWatch, float pRate,
                          std::int32_t& pCancel) {
    if (pWatch.Report(pRate)) {
        pDecoder.Canceled(1);
        if (pRow.OnLane.Parallel)
            c_Parallel->RowError(pRow.Index, kDecodeFailed);
        else
            c_Host.ShowError(kDecodeFailed);
    }
    Prog(pRow, pRate, pCancel);
}

void BatchDriver::Prog(const Row& pRow, float pRate, std::int32_t& pCancel) {
    if (pRow.OnLane.Parallel)
        c_Parallel->RowProgress(pRow.Index, ProgressValue(pRate));
    else
        c_Host.SetProgress(ProgressValue(pRate));
    pCancel = CancelRequested;
}

std::int64_t BatchDriver::FreeBytes(const std::string& pFolder) {
    struct statvfs space {};
    if (::statvfs(pFolder.c_str(), &space) != 0) return -1;
    return std::int64_t(space.f_bavail) * std::int64_t(space.f_frsize);
}

// A stage that wrote no usable file says what the file system can tell about it: the source or
// the folder gone, or too little room for what it would have written (pNeeded bytes).
RowResult BatchDriver::WriteFailed(const Row& pRow, FailReason pOtherwise, std::int64_t pNeeded) const {
    if (Support::FileExists(pRow.Source) == 0) return Failed(FailReason::SourceVanished);
    if (Support::FolderExists(pRow.Folder) == 0) return Failed(FailReason::CannotCreate, pRow.Folder);
    const std::int64_t free = c_FreeSpace ? c_FreeSpace(pRow.Folder) : FreeBytes(pRow.Folder);
    if (free >= 0 && free < pNeeded) return Failed(FailReason::NoSpace, pRow.Folder);
    return Failed(pOtherwise);
}

// Every stage that consumes a file ends the same way: the file it read goes when it was the row's
// own, and a stage that did not complete was stopped when Stop was pressed meanwhile.
BatchDriver::Outcome BatchDriver::Used(Row& pRow, bool pCompleted) {
    if (pRow.Current != pRow.Source) pRow.Temps.Drop(pRow.Current);
    if (!pCompleted && CancelRequested != 0) return Stopped();
    return std::nullopt;
}

BatchDriver::Outcome BatchDriver::Work(Row& pRow, const Target& pTarget) {
    if (Support::FileExists(pRow.Source) == 0) return Failed(FailReason::SourceMissing);
    const std::string soundPath = Options(pRow).SoundPathText;
    pRow.Folder = !soundPath.empty() && Support::FolderExists(soundPath) != 0
                      ? Support::SetTrailingSeparator(soundPath, 0)
                      : Support::FolderOf(pRow.Source);
    pRow.Base = Support::BaseName(pRow.Source);
    pRow.Info = WaveMMIO::GetWaveInfo(pRow.Current);
    // PCM outside the ten modes (32-bit, 12-bit, four channels, ...) is decoded like any other
    // source: the decoder delivers a format the converter reads.
    if (pRow.Info.FormatTag != 1 || pRow.Info.Valid == 0) {
        if (Outcome end = Strip(pRow)) return end;
        if (Outcome end = Decode(pRow)) return end;
    }
    if (Outcome end = Convert(pRow, pTarget)) return end;
    return Deliver(pRow);
}

BatchDriver::Outcome BatchDriver::Strip(Row& pRow) {
    if (Support::Extension(pRow.Source) != "mp3") return std::nullopt;
    MpegInfo mpeg;
    if (FCT_mpeg::ReadMpegInfo(pRow.Current, mpeg, 0) != 1) return Failed(FailReason::NotMpeg);
    if (mpeg.AudioStart == 1) return std::nullopt;
    Show(pRow, 0, "Stripping...", true);
    Show(pRow, 1, pRow.Current, false);
    Events(pRow);
    const std::string strip = Temporary(pRow, "~strip", ".mp3");
    if (strip.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
    if (FCT_mpeg::CopyFileRange(pRow.Current, strip, mpeg.AudioStart, mpeg.AudioEnd) == 0)
        return Failed(FailReason::CannotCopy);
    pRow.Current = strip;
    return std::nullopt;
}

BatchDriver::Outcome BatchDriver::Decode(Row& pRow) {
    const std::string decoded = Temporary(pRow, "~decode", ".wav");
    if (decoded.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
    Show(pRow, 0, "Decording...", false);
    Show(pRow, 1, pRow.Source, false);
    Events(pRow);

    StallWatch watch;
    bool noReader = false;
    {
        C_DecodeAudio DA;
        QObject::connect(
            &DA, &C_DecodeAudio::Prog, &DA,
            [&](float pRate, std::int32_t& pCancel) { DA_Prog(pRow, DA, watch, pRate, pCancel); },
            Qt::DirectConnection);
        // The result is not taken at its word: the output file is judged below.
        (void)DA.DecodeAudio(pRow.Current, decoded);
        noReader = DA.NoReader();
    }
    if (Outcome end = Used(pRow, false)) return end;
    pRow.Info = WaveMMIO::GetWaveInfo(decoded);
    if (pRow.Info.Valid == 0) {
        if (watch.Stalled) return Failed(FailReason::DecodeStalled);
        if (noReader) return Failed(FailReason::NoReader);
        // A decoded file is at least as large as the compressed source.
        std::int64_t sourceSize = 0;
        (void)Support::FileSizeOfPath(pRow.Source, sourceSize);
        return WriteFailed(pRow, FailReason::CannotDecode, sourceSize);
    }
    pRow.Current = decoded;
    // Only a decoded file is written as it came out of the decoder; PCM sources are converted.
    pRow.DecodeOnly = Options(pRow).DecodeOnly != 0;
    return std::nullopt;
}

BatchDriver::Outcome BatchDriver::Convert(Row& pRow, const Target& pTarget) {
    const WaveInfo& info = pRow.Info;
    if (pRow.DecodeOnly || (info.SamplesPerSec == pTarget.Rate && info.Mode == pTarget.Mode))
        return std::nullopt;
    if (WaveMMIO::FramesPresent(info) == 0) return Failed(FailReason::NoAudio);
    if (pTarget.Mode < 0 || pTarget.Mode > WaveMode::kLastTarget) return Failed(FailReason::NoTargetMode);
    if (pTarget.Rate <= 0) return Failed(FailReason::NoTargetRate);
    const BatchOptions options = Options(pRow);
    if (options.HighQuality != 0 && !C_ConvWaveHQ::RatesSupported(info.SamplesPerSec, pTarget.Rate))
        return Failed(FailReason::RatesTooFarApart, std::to_string(info.SamplesPerSec));
    const int bits = WaveMode::Bits(pTarget.Mode);
    const int channels = WaveMode::Channels(pTarget.Mode);
    const std::string converted = Temporary(pRow, "~conv", ".wav");
    if (converted.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
    Show(pRow, 0,
         FormatText(info.SamplesPerSec, info.BitsPerSample, info.Channels) + " ⇒ " +
             FormatText(pTarget.Rate, bits, channels),
         true);
    Show(pRow, 1, converted, false);
    int ok = 0;
    {
        const std::unique_ptr<C_ConvWave> CW =
            options.HighQuality != 0 ? std::make_unique<C_ConvWaveHQ>() : std::make_unique<C_ConvWave>();
        // The pause lets a window breathe while it works on the window's own thread; a worker
        // needs none.
        CW->BlockPause(pRow.OnLane.Parallel ? 0 : c_BlockPause);
        QObject::connect(
            CW.get(), &C_ConvWave::Prog, CW.get(),
            [&](float pRate, std::int32_t& pCancel) { Prog(pRow, pRate, pCancel); }, Qt::DirectConnection);
        ok = CW->ConvWave(pRow.Current, converted, pTarget.Rate, std::int16_t(bits), std::int16_t(channels),
                          options.UseDither != 0 ? 1 : 0, 0);
    }
    if (Outcome end = Used(pRow, ok != 0)) return end;
    if (ok == 0) {
        const double frames =
            double(WaveMMIO::FramesPresent(info)) * pTarget.Rate / std::max(1, info.SamplesPerSec);
        return WriteFailed(pRow, FailReason::ConversionFailed,
                           std::int64_t(frames) * (bits / 8) * channels + kHeaderBytes);
    }
    pRow.Current = converted;
    return std::nullopt;
}

// Chooses the output and makes what takes time: the MP3 encoding. Naming the result is left to
// Place.
BatchDriver::Outcome BatchDriver::Deliver(Row& pRow) {
    pRow.Made = Row::Output::Wav;
    if (pRow.DecodeOnly) return std::nullopt;
    pRow.Chosen = Options(pRow);
    const BatchOptions& options = pRow.Chosen;
    const std::optional<std::int32_t> mp3Rate = IntegerText(options.Mp3BitRateText);
    if (options.Encmp3Enabled && options.Encmp3 == 1 && mp3Rate) {
        if (WaveMMIO::FramesPresent(WaveMMIO::GetWaveInfo(pRow.Current)) == 0)
            return Failed(FailReason::NoAudio);
        // Encoded under a temporary name and moved into place whole, so that a run killed in the
        // middle never leaves a partial file under the output's name.
        const std::string encoded = Temporary(pRow, "~encode", ".mp3");
        if (encoded.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
        Show(pRow, 0, "Encoding...", true);
        Show(pRow, 1, Support::MakeNumberedName(pRow.Folder + pRow.Base + ".mp3", 1, 1, 2, 0), false);
        const Connection progress(QObject::connect(
            &pRow.OnLane.Encoder, &C_mp3acm::EncProg, &pRow.OnLane.Encoder,
            [&](float pRate, std::int32_t& pCancel) { Prog(pRow, pRate, pCancel); }, Qt::DirectConnection));
        const int ok = pRow.OnLane.Encoder.EncFromWavfile(pRow.Current, encoded, *mp3Rate);
        if (Outcome end = Used(pRow, ok != 0)) return end;
        if (ok == 0)
            return WriteFailed(pRow, FailReason::EncodingFailed,
                               std::int64_t(pRow.Info.Milliseconds) * *mp3Rate / 8);
        pRow.Current = encoded;
        pRow.Made = Row::Output::Mp3;
        pRow.Mp3Rate = *mp3Rate;
        if (options.CopyTags == 1) CopyTags(pRow);
        return std::nullopt;
    }
    if (options.Encmp2Enabled && options.Encmp2 == 1 && c_Batch != nullptr) {
        pRow.Made = Row::Output::Mp2;
        return std::nullopt;
    }
    if (pRow.Current == pRow.Source)
        return RowResult{RowOutcome::Unchanged, {}, "already in the target format"};
    return std::nullopt;
}

// The source's tags go into the encoded file before it takes its final name. Tags are read from the
// source as listed (an MP3's own tag is gone from the stripped copy); what cannot be read is left
// out, and a tag that cannot be written leaves the file as the encoder made it, never unfinished.
void BatchDriver::CopyTags(Row& pRow) {
    const Tags::TagRecord record = Tags::ReadTags(pRow.Source);
    for (const std::string& note : record.Notes)
        Support::WriteLog("Tags: " + note + "#" + pRow.Source);
    if (record.Empty()) return;
    const std::string tagged = Temporary(pRow, "~tags", ".mp3");
    if (tagged.empty() || !Tags::WriteMp3(pRow.Current, tagged, record)) {
        if (!tagged.empty()) pRow.Temps.Drop(tagged);
        Support::WriteLog("Tags not written#" + pRow.Source);
        pRow.TagsDetail = ", tags not written";
        return;
    }
    pRow.Temps.Drop(pRow.Current);
    pRow.Current = tagged;
    pRow.TagsDetail = ", tags copied";
}

// The row's final name, taken when every row above has its own (see RunRowsAtOnce).
RowResult BatchDriver::Place(Row& pRow) {
    if (pRow.Made == Row::Output::Mp2) {
        // Claimed now, so that later rows and other programs number around it until the encoder
        // fills it.
        const std::string out = Claim(pRow, pRow.Base + ".mp2");
        if (out.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
        const BatchOptions& options = pRow.Chosen;
        Mp2Section section;
        section.Row = pRow.Index;
        section.RowCount = c_Host.ItemCount();
        section.Current = pRow.Current;
        section.Source = pRow.Source;
        section.Out = out;
        section.SamplesPerSec = pRow.Info.SamplesPerSec;
        section.BitsPerSample = pRow.Info.BitsPerSample;
        section.Channels = pRow.Info.Channels;
        section.Milliseconds = pRow.Info.Milliseconds;
        section.BitRateText = options.Mp2BitRateText;
        section.ModeText = options.Mp2ModeText;
        if (!c_Batch->WriteSection(section)) return Failed(FailReason::CommandFile);
        pRow.Temps.Keep(pRow.Current);
        pRow.Temps.Keep(out);
        return {RowOutcome::Queued, out, "MP2 " + options.Mp2BitRateText + " kbit/s " + options.Mp2ModeText,
                pRow.Current != pRow.Source ? pRow.Current : std::string()};
    }
    const bool mp3 = pRow.Made == Row::Output::Mp3;
    const std::string out =
        Support::MoveToNumberedName(pRow.Current, pRow.Folder + pRow.Base + (mp3 ? ".mp3" : ".wav"), 2);
    if (out.empty()) return Failed(FailReason::CannotCreate, pRow.Folder);
    pRow.Temps.Keep(pRow.Current);
    if (mp3)
        return {RowOutcome::Converted, out,
                "MP3 " + std::to_string(pRow.Mp3Rate) + " kbit/s" + pRow.TagsDetail};
    return {RowOutcome::Converted, out, pRow.DecodeOnly ? "decoded" : "WAV"};
}
