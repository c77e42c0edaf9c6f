#include "engine/C_DecodeAudio.h"

#include "support/ErrorTrap.h"
#include "support/FileIO.h"
#include "support/FileUtil.h"

C_DecodeAudio::C_DecodeAudio(QObject* pParent)
    : QObject(pParent) {}

C_DecodeAudio::~C_DecodeAudio() {
    FCT_Quartz::ReleaseGraph(c_Graph);
}

double C_DecodeAudio::ProgressConstant(const std::string& pSourceFN) {
    const std::string ext = Support::Extension(pSourceFN);
    if (ext == "mp2") return 16000000.0;
    if (ext == "mp4" || ext == "m4a") return 11800000.0;
    return 4800000.0;
}

void C_DecodeAudio::StopProc() {
    c_Canceled = 1;
    if (c_Graph.MediaControl) c_Graph.MediaControl->Stop();
}

std::int32_t C_DecodeAudio::DecodeAudio(const std::string& pSourceFN, const std::string& pTargetFN) {
    // Every step goes on whatever the one before it did; a graph that was never built simply
    // never completes, and the caller's stall detector ends the job.
    auto step = [](auto&& pStatement) {
        Support::Trapped(0, [&] {
            pStatement();
            return 0;
        });
    };

    c_Canceled = 0;
    c_NoReader = false;
    c_SourceFN = pSourceFN;
    c_TargetFN = pTargetFN;
    std::int64_t size = 0;
    Support::FileSizeOfPath(pSourceFN, size);

    step([&] {
        // Not consulted: a graph that was not made never completes, and the stall rule ends the job.
        (void)FCT_Quartz::CreateGraph(c_Graph);
        FCT_Quartz::ScanRegisteredFilters(0, c_Graph);
        (void)FCT_Quartz::OpenDecodeGraph(pSourceFN, pTargetFN, c_Graph);
    });

    const double k = ProgressConstant(pSourceFN);
    std::int32_t cancel = 0;
    long code = 0;
    while (c_Canceled == 0) {
        step([&] {
            if (c_Graph.MediaEvents) code = c_Graph.MediaEvents->WaitForCompletion(100);
        });
        if (code != 0) break;
        double position = 0;
        step([&] {
            if (c_Graph.MediaPosition) position = c_Graph.MediaPosition->CurrentPosition();
        });
        // An empty source has no scale: it reports no progress.
        const float rate = size > 0 ? float(position * k / double(size)) : 0.0f;
        Q_EMIT Prog(rate, cancel);
        Support::WaitWithEvents(10, 1);
        if (cancel != 0) c_Canceled = 1;
        if (c_Canceled != 0) break;
    }

    step([&] {
        if (code == Graph::kEventErrorAbort && c_Graph.MediaEvents) c_NoReader = c_Graph.MediaEvents->NoReader();
        if (c_Graph.MediaControl) c_Graph.MediaControl->Stop();
        FCT_Quartz::ReleaseGraph(c_Graph);
    });

    if (c_Canceled != 0) {
        Support::WaitWithEvents(500, 10);
        Support::DeleteFileSafe(pTargetFN);
        return 0;
    }
    // A graph that aborted wrote a partial file that would pass for a complete one.
    if (code == Graph::kEventErrorAbort) {
        Support::DeleteFileSafe(pTargetFN);
        return 0;
    }
    std::int64_t after = 0;
    Support::FileSizeOfPath(pSourceFN, after);
    return after > 0 ? 1 : 0;
}
