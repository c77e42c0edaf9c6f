#pragma once

#include "engine/FCT_Quartz.h"

#include <QObject>

#include <cstdint>
#include <string>

// One decode job: builds a graph from the source to a WAV file, runs it, reports progress and
// can be cancelled; a cancelled job deletes its target.
class C_DecodeAudio : public QObject {
    Q_OBJECT
public:
    explicit C_DecodeAudio(QObject* pParent = nullptr);
    ~C_DecodeAudio() override;

    // 1 when the job ended without being cancelled and the source still has a size, else 0.
    [[nodiscard]] std::int32_t DecodeAudio(const std::string& pSourceFN, const std::string& pTargetFN);
    void StopProc();

    [[nodiscard]] std::int32_t Canceled() const noexcept { return c_Canceled; }
    void Canceled(std::int32_t pValue) noexcept { c_Canceled = pValue; }
    [[nodiscard]] const std::string& SourceFN() const noexcept { return c_SourceFN; }
    [[nodiscard]] const std::string& TargetFN() const noexcept { return c_TargetFN; }
    // Whether the last job failed because nothing installed here reads the source's format.
    [[nodiscard]] bool NoReader() const noexcept { return c_NoReader; }

    // The progress scale by the source's extension: position x K / size.
    [[nodiscard]] static double ProgressConstant(const std::string& pSourceFN);

Q_SIGNALS:
    void Prog(float pRate, std::int32_t& pCancel);

private:
    QuartzGraph c_Graph;
    std::int32_t c_Canceled = 0;
    bool c_NoReader = false;
    std::string c_SourceFN;
    std::string c_TargetFN;
};
