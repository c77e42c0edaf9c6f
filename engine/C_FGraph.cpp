#include "engine/C_FGraph.h"

#include "support/Rounding.h"
#include "support/ErrorTrap.h"
#include "support/FileUtil.h"

#include <QString>

#include <cmath>
#include <cstdlib>

using namespace FCT_Quartz;

namespace {
template <typename F> void Ignoring(F&& pStatement) {
    Support::Trapped(0, [&] {
        pStatement();
        return 0;
    });
}

std::int32_t ToInt32(double pValue) {
    if (!(pValue > -2147483648.0 && pValue < 2147483647.0)) return 0;
    return std::int32_t(RoundHalfEven(pValue));
}
} // namespace

C_FGraph::~C_FGraph() {
    CloseWave();
}

void C_FGraph::Reset() {
    c_FileName.clear();
    c_Loaded = 0;
    c_Playing = 0;
    c_Length = 0;
}

void C_FGraph::Init() {
    // A graph that could not be made leaves every later call on it without effect.
    (void)CreateGraph(c_Graph);
    c_PlaySpeed = 1.0f;
    c_FromMS = 0;
    Reset();
    ScanRegisteredFilters(c_DevMode, c_Graph);
    SelectDevice();
}

void C_FGraph::SelectDevice() {
    if (c_DevName.empty() || !c_Graph.RegFilters) return;
    Ignoring([&] {
        const QString wanted = QString::fromStdString(c_DevName).toLower();
        for (const std::string& registered : c_Graph.RegFilters->RegisteredFilters()) {
            const QString name = QString::fromStdString(registered).trimmed().toLower();
            if (!name.contains(wanted)) continue;
            const bool direct =
                name.contains(QStringLiteral("列挙済")) || name.contains(QStringLiteral("direct sound"));
            if (c_DevMode == 0 ? direct : !direct) continue;
            c_Graph.RendererName = name.toStdString();
            return;
        }
    });
}

int C_FGraph::IsRunning() {
    long code = 1;
    Ignoring([&] {
        if (c_Graph.MediaEvents) code = c_Graph.MediaEvents->WaitForCompletion(5);
    });
    return code == 0 ? 1 : 0;
}

std::int32_t C_FGraph::Attenuation() {
    Ignoring([&] {
        if (c_Graph.BasicAudio) c_Attenuation = std::int32_t(c_Graph.BasicAudio->Volume());
    });
    return c_Attenuation;
}

void C_FGraph::Attenuation(std::int32_t pAmount) {
    const double a = std::abs(double(pAmount));
    double volume = 0;
    // A minimum of 0 cannot scale the amount: full volume, as a trapped division would leave it.
    if (c_VolMinLevel != 0) volume = double(RoundHalfEven((a / 10) * (a / 10) / (c_VolMinLevel / 100.0)));
    if (volume < c_VolMinLevel) volume = c_VolMinLevel;
    if (volume > 0) volume = 0;
    c_Attenuation = std::int32_t(volume);
    Ignoring([&] {
        if (c_Graph.BasicAudio) c_Graph.BasicAudio->Volume(c_Attenuation);
    });
}

std::int32_t C_FGraph::PanValue() {
    Ignoring([&] {
        if (c_Graph.BasicAudio) c_PanValue = std::int32_t(c_Graph.BasicAudio->Balance());
    });
    return c_PanValue;
}

void C_FGraph::PanValue(std::int32_t pValue) {
    c_PanValue = pValue;
    Ignoring([&] {
        if (c_Graph.BasicAudio) c_Graph.BasicAudio->Balance(pValue);
    });
}

void C_FGraph::PlaySpeed(float pSpeed) {
    c_PlaySpeed = pSpeed > 0 ? pSpeed : 0.1f;
    Ignoring([&] {
        if (c_DevMode == 1 && c_Graph.MediaPosition) c_Graph.MediaPosition->Rate(c_PlaySpeed);
    });
}

Graph::StreamFormat C_FGraph::Format() {
    Graph::StreamFormat format;
    Ignoring([&] {
        if (c_Loaded != 0 && c_Graph.MediaPosition) format = c_Graph.MediaPosition->AudioFormat();
    });
    return format;
}

void C_FGraph::FileName(const std::string& pName) {
    c_FromMS = 0;
    c_ToMS = 0;
    if (pName == c_FileName) return;
    const int built = Support::Trapped(0, [&] {
        c_FileName = pName;
        if (c_Graph.MediaControl) c_Graph.MediaControl->Stop();
        ReleaseGraph(c_Graph);
        if (!Support::FileExists(pName)) return 0;
        (void)CreateGraph(c_Graph);
        if (!BuildWithFallbacks(pName, {}, c_Graph, false)) return 0;
        c_Length = c_Graph.MediaPosition ? ToInt32(c_Graph.MediaPosition->Duration() * 1000) : 0;
        c_ToMS = c_Length;
        return 1;
    });
    if (!built) {
        Reset();
        return;
    }
    Ignoring([&] {
        if (c_Graph.MediaPosition) c_Graph.MediaPosition->CurrentPosition(0);
        c_Graph.BasicAudio = c_Graph.MediaControl;
    });
    Ignoring([&] {
        if (c_Graph.BasicAudio)
            c_Graph.BasicAudio->Volume(c_VolMinLevel < c_Attenuation ? c_Attenuation : -10000);
    });
    Ignoring([&] {
        if (c_Graph.BasicAudio) c_Graph.BasicAudio->Balance(c_PanValue);
    });
    Ignoring([&] {
        if (c_Graph.MediaPosition) c_Graph.MediaPosition->Rate(c_PlaySpeed);
    });
    c_Loaded = 1;
}

std::int32_t C_FGraph::Position(int pKind) {
    if (c_Playing != 1 || c_Loaded != 1 || !c_Graph.MediaPosition) return 0;
    const double elapsed = c_Graph.MediaPosition->CurrentPosition() * 1000;
    std::int32_t value = 0;
    if (pKind == 0)
        value = ToInt32(elapsed);
    else if (pKind == 1)
        value = ToInt32(c_Length - elapsed);
    else if (pKind == 2)
        value = ToInt32(c_ToMS - elapsed);
    if (c_ToMS > 0 && c_ToMS != c_Length && c_Graph.MediaPosition->CurrentPosition() * 1000 > c_ToMS)
        StopIO();
    return value;
}

std::int32_t C_FGraph::mode() {
    if (!c_Graph.MediaControl) return 1;
    switch (c_Graph.MediaControl->State(10)) {
    case Graph::GraphState::Paused:
        return 2;
    case Graph::GraphState::Running:
        if (IsRunning() == 1) return 3;
        StopIO();
        return 0;
    default:
        return 1;
    }
}

std::int32_t C_FGraph::Play() {
    if (c_Loaded == 0) return 0;
    StopIO();
    Ignoring([&] {
        if (c_Graph.MediaControl) c_Graph.MediaControl->Run();
        if (c_Graph.MediaPosition) c_Graph.MediaPosition->CurrentPosition(c_FromMS / 1000.0);
    });
    c_Playing = 1;
    return 1;
}

void C_FGraph::Pause() {
    if (c_Loaded == 0 || !c_Graph.MediaControl) return;
    Ignoring([&] {
        const Graph::GraphState state = c_Graph.MediaControl->State(10);
        if (state == Graph::GraphState::Paused)
            c_Graph.MediaControl->Run();
        else if (state == Graph::GraphState::Running)
            c_Graph.MediaControl->Pause();
    });
}

void C_FGraph::StopIO() {
    if (c_Playing == 1 && c_Loaded == 1 && c_Graph.MediaControl && c_Graph.MediaPosition)
        Ignoring([&] { c_Graph.MediaControl->Stop(); });
    c_Playing = 0;
}

void C_FGraph::CloseWave() {
    StopIO();
    ReleaseGraph(c_Graph);
    Reset();
}
