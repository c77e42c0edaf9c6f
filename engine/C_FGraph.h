#pragma once

#include "engine/FCT_Quartz.h"

#include <cstdint>
#include <string>

// A playback graph ending in an audio renderer. Its one use in the program is measuring: load a
// file, read Length, close it. Loading never needs a sound device.
class C_FGraph {
public:
    C_FGraph() = default;
    ~C_FGraph();
    C_FGraph(const C_FGraph&) = delete;
    C_FGraph& operator=(const C_FGraph&) = delete;

    void DevMode(std::int32_t pMode) { c_DevMode = pMode; }
    void DevName(const std::string& pName) { c_DevName = pName; }
    void VolMinLevel(std::int32_t pLevel) { c_VolMinLevel = pLevel; }

    [[nodiscard]] std::int32_t FromMS() const { return c_FromMS; }
    void FromMS(std::int32_t pValue) { c_FromMS = pValue; }
    [[nodiscard]] std::int32_t ToMS() const { return c_ToMS; }
    void ToMS(std::int32_t pValue) { c_ToMS = pValue; }
    [[nodiscard]] std::int32_t Length() const { return c_Length; }

    [[nodiscard]] std::int32_t Attenuation();
    void Attenuation(std::int32_t pAmount);
    [[nodiscard]] std::int32_t PanValue();
    void PanValue(std::int32_t pValue);
    [[nodiscard]] float PlaySpeed() const { return c_PlaySpeed; }
    void PlaySpeed(float pSpeed);

    [[nodiscard]] const std::string& FileName() const { return c_FileName; }
    // Loads the file into a playback graph (not started).
    void FileName(const std::string& pName);

    [[nodiscard]] std::int32_t Position(int pKind);
    [[nodiscard]] std::int32_t mode();
    [[nodiscard]] std::int32_t Playing() const { return c_Playing; }
    [[nodiscard]] std::int32_t Loaded() const { return c_Loaded; }

    void Init();
    [[nodiscard]] std::int32_t Play();
    void Pause();
    void StopIO();
    void CloseWave();

    // What the loaded file's audio is, as far as its graph tells.
    [[nodiscard]] Graph::StreamFormat Format();
    // The renderer the last Init chose.
    [[nodiscard]] const std::string& RendererName() const { return c_Graph.RendererName; }

private:
    void SelectDevice();
    [[nodiscard]] int IsRunning();
    void Reset();

    QuartzGraph c_Graph;
    std::int32_t c_DevMode = 0;
    std::string c_DevName;
    std::int32_t c_VolMinLevel = -10000;
    std::string c_FileName;
    std::int32_t c_FromMS = 0;
    std::int32_t c_ToMS = 0;
    std::int32_t c_Length = 0;
    std::int32_t c_Attenuation = 0;
    std::int32_t c_PanValue = 0;
    float c_PlaySpeed = 1.0f;
    std::int32_t c_Playing = 0;
    std::int32_t c_Loaded = 0;
};
